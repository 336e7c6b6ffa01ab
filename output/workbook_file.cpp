#include "output/workbook_file.h"

#include "output/atomic_file.h"

#include <QDir>
#include <QFile>
#include <QTemporaryFile>
#include <xlsxwriter.h>

namespace tesvaron {

namespace {

// Excel's limit on the length of a cell text.
constexpr int kMaxCellChars = 32767;

// The history cells, each centred where asked; lxw_error's values, LXW_NO_ERROR when all went in.
int fillCells(lxw_workbook* workbook, const SheetCells& cells)
{
    lxw_worksheet* sheet = workbook_add_worksheet(workbook, nullptr);
    lxw_format* centred = workbook_add_format(workbook);
    format_set_align(centred, LXW_ALIGN_CENTER);
    lxw_error cellError = LXW_NO_ERROR;
    for (size_t r = 0; r < cells.size() && cellError == LXW_NO_ERROR; ++r) {
        for (size_t c = 0; c < cells[r].size() && cellError == LXW_NO_ERROR; ++c) {
            const SheetCell& cell = cells[r][c];
            lxw_format* format = cell.centred ? centred : nullptr;
            if (cell.text.isEmpty()) {
                if (format)
                    cellError = worksheet_write_blank(sheet, lxw_row_t(r), lxw_col_t(c), format);
            } else {
                const QByteArray utf8 = cell.text.left(kMaxCellChars).toUtf8();
                cellError = worksheet_write_string(sheet, lxw_row_t(r), lxw_col_t(c),
                                                   utf8.constData(), format);
            }
        }
    }
    return cellError;
}

} // namespace

SheetCells centredSheet(int rows, int columns, const CellReader& cell)
{
    SheetCells cells(static_cast<std::size_t>(rows),
                     std::vector<SheetCell>(static_cast<std::size_t>(columns)));
    for (int row = 0; row < rows; ++row)
        for (int col = 0; col < columns; ++col)
            cells[std::size_t(row)][std::size_t(col)] = {cell(row, col), true};
    return cells;
}

SheetCells historySheet(const HistoryModel& model)
{
    return centredSheet(HistoryModel::RecordRows + 1, HistoryModel::Columns,
                        [&model](int row, int col) { return model.cell(row, col); });
}

// libxlsxwriter only writes to a named file; it writes to a scratch file first and the result
// is then put in place with the same one-step replacement as every other saved file, which
// also keeps the permissions of a file being replaced.
bool writeXlsxFile(const QString& path, const std::function<int(lxw_workbook*)>& fill,
                   QString* error)
{
    const auto fail = [&](const QString& reason) {
        if (error) *error = reason;
        return false;
    };

    QTemporaryFile scratch(QDir::tempPath() + QStringLiteral("/tesvaron-XXXXXX.xlsx"));
    if (!scratch.open()) return fail(scratch.errorString());
    scratch.close();

    const QByteArray scratchName = QFile::encodeName(scratch.fileName());
    lxw_workbook* workbook = workbook_new(scratchName.constData());
    if (!workbook) return fail(QString::fromUtf8(lxw_strerror(LXW_ERROR_MEMORY_MALLOC_FAILED)));
    const auto cellError = lxw_error(fill(workbook));
    // Closing also frees the workbook, so it runs even after a cell failed.
    const lxw_error closeError = workbook_close(workbook);
    if (cellError != LXW_NO_ERROR) return fail(QString::fromUtf8(lxw_strerror(cellError)));
    if (closeError != LXW_NO_ERROR) return fail(QString::fromUtf8(lxw_strerror(closeError)));

    if (!scratch.open()) return fail(scratch.errorString());
    const QByteArray bytes = scratch.readAll();
    if (scratch.error() != QFileDevice::NoError) return fail(scratch.errorString());
    return writeFileAtomically(path, bytes, error);
}

bool writeWorkbookFile(const QString& path, const SheetCells& cells, QString* error)
{
    if (path.endsWith(QStringLiteral(".xlsx"), Qt::CaseInsensitive))
        return writeXlsxFile(
            path, [&cells](lxw_workbook* workbook) { return fillCells(workbook, cells); }, error);
    return writeFileAtomically(path, biff8Workbook(cells), error);
}

} // namespace tesvaron
