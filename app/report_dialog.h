#pragma once
// The inspection report's fields: one line each, line name and operator required.

#include "report/inspection_report.h"

#include <QDialog>
#include <QList>

class QLabel;
class QLineEdit;

namespace tesvaron {

class ReportDialog : public QDialog
{
    Q_OBJECT
public:
    explicit ReportDialog(const ReportFields& fields, QWidget* parent = nullptr);
    ReportFields fields() const;
    // Refuses to close with a required field empty, and says which.
    void accept() override;

    QList<QLineEdit*> edits; // in the order of reportFieldTable()
    QLabel* missing;
};

} // namespace tesvaron
