#include "platform/qt_printer.h"

#include <QPainter>
#include <QPrinter>

namespace tesvaron {

namespace {

constexpr qreal TwipsPerInch = 1440;
// Text widths are not whole columns; a position this close to a column start counts as on it.
constexpr qreal ColumnSlack = 0.01;

} // namespace

QtPrinter::QtPrinter() = default;

QtPrinter::QtPrinter(QPrinter* device) : device_(device) {}

QtPrinter::~QtPrinter()
{
    if (painter_) painter_->end();
}

QPrinter& QtPrinter::device()
{
    if (!device_) {
        own_ = std::make_unique<QPrinter>(QPrinter::HighResolution);
        device_ = own_.get();
    }
    return *device_;
}

bool QtPrinter::begin()
{
    if (painter_) return true;
    if (beginFailed_) return false; // one failure per document is enough
    auto painter = std::make_unique<QPainter>();
    if (!painter->begin(&device())) {
        beginFailed_ = true;
        return false;
    }
    // The printer's own default font; the columns follow its metrics in device units.
    metrics_.emplace(painter->font(), painter->device());
    columnWidth_ = metrics_->averageCharWidth();
    lineHeight_ = metrics_->lineSpacing();
    x_ = 0;
    y_ = 0;
    pageHasLines_ = false;
    painter_ = std::move(painter);
    return true;
}

void QtPrinter::setCurrentY(float twips)
{
    if (!begin()) return;
    y_ = qreal(twips) * device_->logicalDpiY() / TwipsPerInch;
}

void QtPrinter::newLine()
{
    x_ = 0;
    y_ += lineHeight_;
}

// Starts a new page when the current line would run past the bottom of this one.
void QtPrinter::keepOnPage()
{
    if (!pageHasLines_ || y_ + lineHeight_ <= device_->height()) return;
    if (!device_->newPage()) return;
    y_ = 0;
    pageHasLines_ = false;
}

void QtPrinter::printLine(const PrintLine& items)
{
    if (!begin()) return;
    keepOnPage();
    for (const PrintItem& item : items) {
        switch (item.kind) {
        case PrintItem::Text:
            painter_->drawText(QPointF(x_, y_ + metrics_->ascent()), item.text);
            x_ += metrics_->horizontalAdvance(item.text);
            pageHasLines_ = true;
            break;
        case PrintItem::Advance:
            x_ += item.columns * columnWidth_;
            break;
        case PrintItem::ToColumn: {
            const qreal start = (item.columns - 1) * columnWidth_;
            if (x_ > start + ColumnSlack) {
                newLine();
                keepOnPage();
            }
            x_ = start;
            break;
        }
        }
    }
    newLine();
}

bool QtPrinter::EndDoc(QString* error)
{
    if (!painter_) {
        const bool failed = beginFailed_;
        beginFailed_ = false;
        if (failed && error) *error = QStringLiteral("打印机无法开始打印");
        return !failed;
    }
    const bool ended = painter_->end();
    painter_.reset();
    metrics_.reset();
    if (!ended && error) *error = QStringLiteral("打印作业未能完成");
    return ended;
}

QString QtPrinter::outputFile() const
{
    if (!device_ || device_->outputFormat() != QPrinter::PdfFormat) return {};
    return device_->outputFileName();
}

} // namespace tesvaron
