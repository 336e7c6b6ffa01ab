#pragma once
// The printer seam over a QPrinter. Lines are laid out in columns one average character width
// of the printer's font wide and run on to further pages when a page is full.

#include "platform/output_seams.h"

#include <QFontMetricsF>
#include <memory>
#include <optional>

class QPainter;
class QPrinter;

namespace tesvaron {

// Prints lines of text items on a QPrinter, one document from the first line to EndDoc.
class QtPrinter : public PrinterSeam
{
public:
    // Prints on its own QPrinter, the one the print dialog sets up.
    QtPrinter();
    // Prints on `device` instead (not taken over), for instance a PDF file set up without the
    // dialog.
    explicit QtPrinter(QPrinter* device);
    ~QtPrinter() override;
    QtPrinter(const QtPrinter&) = delete;
    QtPrinter& operator=(const QtPrinter&) = delete;

    // The printer the lines go to; made when first asked for, as it asks the print system.
    QPrinter& device();

    void setCurrentY(float twips) override;
    void printLine(const PrintLine& items) override;
    bool EndDoc(QString* error) override;
    QString outputFile() const override;

    // Width of one column and height of one line of the last document begun, in device units;
    // 0 before the first.
    qreal columnWidth() const { return columnWidth_; }
    qreal lineHeight() const { return lineHeight_; }

private:
    bool begin();
    void newLine();
    void keepOnPage();

    std::unique_ptr<QPrinter> own_;
    QPrinter* device_ = nullptr;
    std::unique_ptr<QPainter> painter_;
    std::optional<QFontMetricsF> metrics_;
    bool beginFailed_ = false;
    qreal columnWidth_ = 0;
    qreal lineHeight_ = 0;
    qreal x_ = 0;
    qreal y_ = 0;
    bool pageHasLines_ = false;
};

} // namespace tesvaron
