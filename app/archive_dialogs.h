#pragma once
// What the archive and trend windows ask of the user, as a seam: the real dialogs, or answers
// given by a test. Also where the report's fields are remembered.

#include "report/inspection_report.h"

#include <QString>
#include <memory>

class QSettings;
class QWidget;

namespace tesvaron {

class ArchiveDialogs
{
public:
    virtual ~ArchiveDialogs() = default;
    // Yes/No, No being the default answer.
    virtual bool confirm(QWidget* parent, const QString& text) = 0;
    // A file to write; empty when cancelled.
    virtual QString saveFileName(QWidget* parent, const QString& caption, const QString& suggested,
                                 const QString& filter) = 0;
    // Lets the user fill in the report's fields; false when cancelled.
    virtual bool reportFields(QWidget* parent, ReportFields& fields) = 0;
    virtual void tell(QWidget* parent, const QString& text) = 0;
    // The program's settings file.
    virtual QSettings& settings() = 0;

    static std::shared_ptr<ArchiveDialogs> real();
};

// Asks for the fields (last report's as the start), a file name, and renders the report.
// Returns the file written, or empty when cancelled or failed (the failure is told).
QString fileReport(QWidget* parent, ArchiveDialogs& dialogs, InspectionReport report);

} // namespace tesvaron
