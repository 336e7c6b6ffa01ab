#pragma once
// Workbook files written from a table of text cells.
// A name ending in ".xlsx" gets Office Open XML; any other name an Excel 97-2003 (BIFF8)
// workbook in a compound-file container.

#include "output/text_files.h"

#include <QByteArray>
#include <QString>
#include <functional>
#include <vector>

struct lxw_workbook;

namespace tesvaron {

struct SheetCell
{
    QString text;
    bool centred = false;
};

// rows x columns, 0-based; cells[r][c] becomes worksheet cell (r + 1, c + 1).
using SheetCells = std::vector<std::vector<SheetCell>>;

// rows x columns cells read from `cell`, each centred: how the history table is exported.
SheetCells centredSheet(int rows, int columns, const CellReader& cell);
// The whole history table, titles and row numbers included, as the window exports it.
SheetCells historySheet(const HistoryModel& model);

// A complete BIFF8 .xls file (compound file with one "Workbook" stream, one sheet "Sheet1").
QByteArray biff8Workbook(const SheetCells& cells);

// Writes the workbook to `path` in the format its name asks for. Returns false with `error`
// set when it cannot be written; a failure never leaves a partial file at `path`.
bool writeWorkbookFile(const QString& path, const SheetCells& cells, QString* error);
// An .xlsx whose sheets `fill` writes (returning libxlsxwriter's status, 0 when all went in),
// put at `path` as the workbooks above are.
bool writeXlsxFile(const QString& path, const std::function<int(lxw_workbook*)>& fill,
                   QString* error);

} // namespace tesvaron
