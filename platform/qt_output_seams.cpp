#include "platform/qt_output_seams.h"

#include "platform/pdf_file.h"

#include <QClipboard>
#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QScreen>
#include <QStandardPaths>
#include <QWidget>
#include <algorithm>

namespace tesvaron {

namespace {

const QString SaveTitle = QStringLiteral("另存为");
const QString PrintTitle = QStringLiteral("打印");

QString withoutDot(const QString& extension)
{
    return extension.startsWith(QLatin1Char('.')) ? extension.mid(1) : extension;
}

// Widens the dialog's text fields to their text, so that a long output path shows whole rather
// than cut off at the left; never beyond most of the screen.
void showWholeFields(QDialog& dialog)
{
    const QScreen* screen = dialog.screen();
    const int widest = screen ? screen->availableGeometry().width() * 3 / 4 : 1000;
    for (QLineEdit* field : dialog.findChildren<QLineEdit*>()) {
        const auto fit = [field, widest] {
            const int wanted = field->fontMetrics().horizontalAdvance(field->text()) +
                               field->fontMetrics().averageCharWidth() * 3;
            field->setMinimumWidth(std::min(std::max(wanted, field->minimumWidth()), widest));
            field->setCursorPosition(0);
        };
        fit();
        QObject::connect(field, &QLineEdit::textChanged, field, fit);
    }
}

} // namespace

std::vector<FileType> fileTypes(const QString& filter)
{
    const QStringList parts = filter.split(QLatin1Char('|'));
    std::vector<FileType> types;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString description = parts[i].trimmed();
        // Windows separates patterns with ';', Qt with spaces.
        const QStringList patterns = parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts);
        if (description.isEmpty() && patterns.isEmpty()) continue;
        const QString qtPatterns = patterns.join(QLatin1Char(' '));
        FileType type;
        // Qt reads the patterns from the parentheses; the descriptions here already carry them.
        type.nameFilter = description.contains(QLatin1Char('(') + qtPatterns + QLatin1Char(')'))
                              ? description
                              : description + QStringLiteral(" (") + qtPatterns + QLatin1Char(')');
        const QString first = patterns.value(0).trimmed();
        const qsizetype dot = first.lastIndexOf(QLatin1Char('.'));
        if (dot >= 0 && !first.mid(dot + 1).contains(QLatin1Char('*')))
            type.extension = first.mid(dot + 1);
        types.push_back(type);
    }
    return types;
}

QString defaultSaveFolder()
{
#ifdef Q_OS_WIN
    // Documents\tesvaron: where Windows users look for what a program saved.
    return QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation) +
           QStringLiteral("/tesvaron");
#else
    return QDir::homePath() + QStringLiteral("/tesvaron");
#endif
}

int QtCommonDialog::ShowSave(QWidget* parent)
{
    QFileDialog dialog(parent, SaveTitle);
    // Qt's own dialog everywhere, so the type index and the default extension behave alike.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);

    const std::vector<FileType> types = fileTypes(Filter);
    QStringList nameFilters;
    for (const FileType& type : types)
        nameFilters << type.nameFilter;
    if (!nameFilters.isEmpty()) {
        dialog.setNameFilters(nameFilters);
        const int index = std::clamp(FilterIndex, 1, int(nameFilters.size()));
        dialog.selectNameFilter(nameFilters[index - 1]);
    }
    dialog.setDefaultSuffix(withoutDot(DefaultExt));
    // Picking another type makes its extension the one added to a bare name, as Windows does.
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog,
                     [&dialog, &types, &nameFilters](const QString& chosen) {
                         const qsizetype i = nameFilters.indexOf(chosen);
                         if (i >= 0 && !types[size_t(i)].extension.isEmpty())
                             dialog.setDefaultSuffix(types[size_t(i)].extension);
                     });
    if (!InitDir.isEmpty()) dialog.setDirectory(QDir::fromNativeSeparators(InitDir));
    if (!FileName.isEmpty()) dialog.selectFile(QDir::fromNativeSeparators(FileName));

    if (dialog.exec() != QDialog::Accepted) return CancelError ? CancelErrorNumber : 0;

    FileName = QDir::toNativeSeparators(dialog.selectedFiles().value(0));
    const qsizetype chosen = nameFilters.indexOf(dialog.selectedNameFilter());
    if (chosen >= 0) FilterIndex = int(chosen) + 1;
    return 0;
}

int QtCommonDialog::ShowPrinter(QWidget* parent, QString* description)
{
    QPrinter& printer = printer_.device();
    // Without an installed printer the dialog still offers printing to a PDF file; a new name
    // each time, so a second print does not ask to overwrite the first.
    if (QPrinterInfo::availablePrinters().isEmpty()) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdfFallbackPath(QDateTime::currentDateTime()));
#ifdef Q_OS_WIN
        // Windows's own print dialog serves installed printers only and refuses a PDF file.
        return 0;
#endif
    }

    QPrintDialog dialog(&printer, parent);
    dialog.setWindowTitle(PrintTitle);
    dialog.setOption(QAbstractPrintDialog::PrintSelection, false);
    if (Flags & NoPageNums) {
        dialog.setOption(QAbstractPrintDialog::PrintPageRange, false);
        dialog.setOption(QAbstractPrintDialog::PrintCurrentPage, false);
    }
    showWholeFields(dialog);
    if (dialog.exec() != QDialog::Accepted) return CancelError ? CancelErrorNumber : 0;

    if (!printer.isValid()) {
        if (description) *description = QStringLiteral("没有可用的打印机");
        return NoPrinterErrorNumber;
    }
    return 0;
}

QImage QtOutputSeams::grabScreen(QWidget* window)
{
    return window ? window->grab().toImage() : QImage();
}

void QtOutputSeams::setClipboardImage(const QImage& image)
{
    if (image.isNull()) return;
    QGuiApplication::clipboard()->setImage(image);
}

std::shared_ptr<OutputSeams> OutputSeams::real()
{
    return std::make_shared<QtOutputSeams>();
}

} // namespace tesvaron
