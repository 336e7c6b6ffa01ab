// Printing the realtime values or the history table.

#include "app/form1.h"
#include "platform/output_seams.h"

#include <QLabel>

namespace tesvaron {

namespace {

// 0x100: return a device context; 0x8: no page-range choice.
constexpr int PrintFlags = 0x100 | CommonDialog::NoPageNums;
constexpr float RealtimeTop = 500;
constexpr int HeaderGap = 5;
constexpr int RowColumns[] = {10, 18, 30, 42};
constexpr int FirstRow = 1;
constexpr int LastRow = 99;

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
        printer.printLine({text(QStringLiteral("对地电压") + Lab_value_lg->text())});
        printer.printLine({text(QStringLiteral("线电压") + Lab_value_ll->text())});
        printer.printLine({text(QStringLiteral("电流") + Lab_value_a->text())});
        printer.printLine({text(QStringLiteral("           "))});
    } else {
        printer.printLine({text(QStringLiteral("  "))});
        printer.printLine({advance(HeaderGap), text(QStringLiteral("NO.")), advance(HeaderGap),
                           text(QStringLiteral("对地电压")), advance(HeaderGap),
                           text(QStringLiteral("线电压")), advance(HeaderGap),
                           text(QStringLiteral("电流"))});
        for (int row = FirstRow; row <= LastRow; ++row) {
            PrintLine line;
            for (int col = 0; col < 4; ++col) {
                line.push_back(toColumn(RowColumns[col]));
                line.push_back(text(DataGrid->TextMatrix(row, col)));
            }
            printer.printLine(line);
        }
        printer.printLine({text(QStringLiteral("  "))});
    }
    // A job that cannot be finished is dropped without a word.
    printer.EndDoc(nullptr);
}

} // namespace tesvaron
