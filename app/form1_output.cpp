// Saving and printing: the realtime values or the history, by the view that is shown.

#include "app/form1.h"
#include "output/atomic_file.h"
#include "output/save_name.h"
#include "output/text_files.h"
#include "output/workbook_file.h"
#include "platform/output_seams.h"

#include <QBuffer>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QImageWriter>
#include <QLabel>

namespace tesvaron {

namespace {

const QString RealFilter = QStringLiteral("jpg格式 (*.jpg)|*.jpg|txt格式 (*.txt)|*.txt|");
const QString RealPictureExt = QStringLiteral(".jpg");
const QString RealTextExt = QStringLiteral(".txt");
// The third type, .xlsx, comes after the two the type index rules are about.
const QString HistoryFilter =
    QStringLiteral("txt格式 (*.txt)|*.txt|excel格式 (*.xls)|*.xls|excel 2007格式 (*.xlsx)|*.xlsx|");
const QString HistoryTextExt = QStringLiteral(".txt");
const QString HistoryWorkbookExt = QStringLiteral(".xls");
const QString HistoryXlsxExt = QStringLiteral(".xlsx");
constexpr int XlsxIndex = 3;
constexpr int JpegQuality = 90;
// The extensions that name each offered type, in the filters' order.
const SaveTypes RealTypes{{QStringLiteral("jpg"), QStringLiteral("jpeg")}, {QStringLiteral("txt")}};
const SaveTypes HistoryTypes{
    {QStringLiteral("txt")}, {QStringLiteral("xls")}, {QStringLiteral("xlsx")}};

// Steps 1 to 5 of the save dialog sequence, shared by both save commands. The proposed name
// carries the date and time and no extension: the chosen type adds its own.
void prepareSaveDialog(CommonDialog& dialog, const QString& filter, const QString& firstExt,
                       const QString& secondExt, const QString& folder, const QString& stem)
{
    dialog.FileName =
        stem + QDateTime::currentDateTime().toString(QStringLiteral("-yyyyMMdd-HHmm"));
    dialog.Filter = filter;
    dialog.DefaultExt = dialog.FilterIndex < 2 ? firstExt : secondExt;
    dialog.InitDir = folder;
    // A folder that cannot be made is no reason to stop: the dialog opens elsewhere.
    const QString path = QDir::fromNativeSeparators(folder);
    if (!QFileInfo::exists(path)) QDir().mkpath(path);
}

// "jpg格式" promises a JPEG, and a picture's name always ends in .jpg or .jpeg.
bool encodePicture(const QImage& picture, QByteArray* bytes, QString* error)
{
    QBuffer buffer(bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "JPEG");
    writer.setQuality(JpegQuality);
    if (writer.write(picture)) return true;
    *error = QStringLiteral("图片无法编码：") + writer.errorString();
    return false;
}

void showSaveFailure(MessageBoxSeam& box, QWidget* parent, const QString& fileName,
                     const QString& reason)
{
    box.show(parent, QStringLiteral("保存失败"),
             QStringLiteral("文件未能保存：") + QDir::toNativeSeparators(fileName) +
                 QStringLiteral("\r\n") + reason,
             MessageBoxSeam::Icon::Exclamation);
}

QString savedNotice(const QString& fileName)
{
    return QStringLiteral("已保存：") +
           QDir::toNativeSeparators(QFileInfo(fileName).absoluteFilePath());
}

} // namespace

void Form1::Button_save_Click()
{
    if (RealMode)
        RealSave();
    else
        HistorySave();
}

void Form1::RealSave()
{
    CommonDialog& dialog = output_->dialog();
    prepareSaveDialog(dialog, RealFilter, RealPictureExt, RealTextExt, output_->defaultFolder(),
                      QStringLiteral("实时"));

    // The picture is taken before the dialog opens, so the dialog is not in it, and kept for
    // when the picture type is chosen only in the dialog.
    const QImage picture = output_->grabScreen(this);
    if (dialog.FilterIndex < 2) output_->setClipboardImage(picture);

    dialog.CancelError = true;
    if (dialog.ShowSave(this) == CommonDialog::CancelErrorNumber) return;

    // The name's extension, when it is one of the offered types', decides what is written.
    const SaveName name = resolveSaveName(dialog.FileName, RealTypes, dialog.FilterIndex);
    const QString& fileName = name.fileName;
    QString error;
    bool saved = false;
    if (name.type == 1) {
        QByteArray bytes;
        saved =
            encodePicture(picture, &bytes, &error) && writeFileAtomically(fileName, bytes, &error);
    } else {
        const MeasureTexts values = shownValues();
        const QByteArray text = realtimeTextFile(values.ground, values.line, values.current);
        saved = writeFileAtomically(fileName, text, &error);
    }
    endSave(saved, fileName, error);
}

void Form1::HistorySave()
{
    CommonDialog& dialog = output_->dialog();
    prepareSaveDialog(dialog, HistoryFilter, HistoryTextExt, HistoryWorkbookExt,
                      output_->defaultFolder(), QStringLiteral("历史记录"));
    if (dialog.FilterIndex == XlsxIndex) dialog.DefaultExt = HistoryXlsxExt;

    dialog.CancelError = true;
    if (dialog.ShowSave(this) == CommonDialog::CancelErrorNumber) return;

    const SaveName name = resolveSaveName(dialog.FileName, HistoryTypes, dialog.FilterIndex);
    if (name.type == 1) {
        const QByteArray text = historyTextFile(history_);
        QString error;
        if (endSave(writeFileAtomically(name.fileName, text, &error), name.fileName, error))
            unsavedDownload_ = false;
    } else {
        ExcelExport(name.fileName);
    }
}

// The table's cells, each centred, into a workbook of the type the name asks for.
void Form1::ExcelExport(const QString& fileName)
{
    QString error;
    if (endSave(
            writeWorkbookFile(QDir::fromNativeSeparators(fileName), historySheet(history_), &error),
            fileName, error))
        unsavedDownload_ = false;
}

// Says how a save went: the written file's full path in the status bar, or the failure's box.
bool Form1::endSave(bool saved, const QString& fileName, const QString& error)
{
    if (saved)
        showNotice(savedNotice(fileName));
    else
        showSaveFailure(*messageBox_, this, fileName, error);
    return saved;
}

namespace {

// 0x100: return a device context; 0x8: no page-range choice.
constexpr int PrintFlags = 0x100 | CommonDialog::NoPageNums;
constexpr float RealtimeTop = 500;
constexpr int HeaderGap = 5;

PrintItem text(const QString& s)
{
    return {PrintItem::Text, s};
}
PrintItem advance(int columns)
{
    return {PrintItem::Advance, {}, columns};
}
PrintItem toColumn(int column)
{
    return {PrintItem::ToColumn, {}, column};
}

} // namespace

void Form1::Button_print_Click()
{
    CommonDialog& dialog = output_->dialog();
    dialog.Flags = PrintFlags;
    dialog.CancelError = true;

    QString description;
    const int error = dialog.ShowPrinter(this, &description);
    if (error == CommonDialog::CancelErrorNumber) return;
    if (error != 0) {
        messageBox_->beep();
        messageBox_->show(this, QStringLiteral("Printing Error!"),
                          QStringLiteral("文件打印出错.") + QStringLiteral("\r\n") + description,
                          MessageBoxSeam::Icon::Exclamation);
        return;
    }

    PrinterSeam& printer = output_->printer();
    if (RealMode) {
        printer.setCurrentY(RealtimeTop);
        printer.printLine({text(QStringLiteral("     "))});
        const MeasureTexts values = shownValues();
        printer.printLine({text(QStringLiteral("对地电压") + values.ground)});
        printer.printLine({text(QStringLiteral("线电压") + values.line)});
        printer.printLine({text(QStringLiteral("电流") + values.current)});
        printer.printLine({text(QStringLiteral("           "))});
    } else {
        printer.printLine({text(QStringLiteral("  "))});
        printer.printLine({advance(HeaderGap), text(QStringLiteral("NO.")), advance(HeaderGap),
                           text(QStringLiteral("对地电压")), advance(HeaderGap),
                           text(QStringLiteral("线电压")), advance(HeaderGap),
                           text(QStringLiteral("电流"))});
        for (int row = 1; row <= HistoryModel::RecordRows; ++row) {
            PrintLine line;
            for (int col = 0; col < HistoryModel::Columns; ++col) {
                line.push_back(toColumn(HistoryCellColumns[col]));
                line.push_back(text(history_.cell(row, col)));
            }
            printer.printLine(line);
        }
        printer.printLine({text(QStringLiteral("  "))});
    }
    // A job that cannot be finished is dropped without a word; one printed to a file says where.
    if (printer.EndDoc(nullptr) && !printer.outputFile().isEmpty())
        showNotice(QStringLiteral("已打印到：") + QDir::toNativeSeparators(printer.outputFile()));
}

} // namespace tesvaron
