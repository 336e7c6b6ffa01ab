#include "platform/flex_grid.h"

#include <QHeaderView>

namespace tesvaron {

FlexGrid::FlexGrid(QWidget* parent) : QTableWidget(parent)
{
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setMinimumSectionSize(1);
    horizontalHeader()->setMinimumSectionSize(1);
    horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    horizontalHeader()->setHighlightSections(false);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setWordWrap(false);
    setRowCount(0);
    setColumnCount(0);
}

void FlexGrid::setRows(int rows)
{
    setRowCount(qMax(rows, 1) - 1);
}

void FlexGrid::setCols(int cols)
{
    setColumnCount(cols);
    while (alignments_.size() < cols)
        alignments_.append(0);
    alignments_.resize(cols);
}

QTableWidgetItem* FlexGrid::cell(int row, int col) const
{
    return row == 0 ? horizontalHeaderItem(col) : item(row - 1, col);
}

QString FlexGrid::TextMatrix(int row, int col) const
{
    if (row < 0 || row >= Rows() || col < 0 || col >= Cols()) return {};
    const QTableWidgetItem* it = cell(row, col);
    return it ? it->text() : QString();
}

void FlexGrid::setTextMatrix(int row, int col, const QString& text)
{
    if (row < 0 || row >= Rows() || col < 0 || col >= Cols()) return;
    if (QTableWidgetItem* it = cell(row, col)) {
        it->setText(text);
        return;
    }
    auto* it = new QTableWidgetItem(text);
    if (row == 0) {
        setHorizontalHeaderItem(col, it);
    } else {
        it->setTextAlignment(qtAlignment(col));
        setItem(row - 1, col, it);
    }
}

int FlexGrid::RowHeight(int row) const
{
    if (row == 0) return headerHeight_ * TwipsPerPixel;
    return rowHeight(row - 1) * TwipsPerPixel;
}

void FlexGrid::setRowHeight(int row, int twips)
{
    if (row == 0) {
        headerHeight_ = pixels(twips);
        horizontalHeader()->setFixedHeight(headerHeight_);
        return;
    }
    if (row - 1 < rowCount()) QTableWidget::setRowHeight(row - 1, pixels(twips));
}

void FlexGrid::setColAlignment(int col, int alignment)
{
    if (col < 0 || col >= Cols()) return;
    alignments_[col] = alignment;
    for (int r = 0; r < rowCount(); ++r)
        if (QTableWidgetItem* it = item(r, col)) it->setTextAlignment(qtAlignment(col));
}

Qt::Alignment FlexGrid::qtAlignment(int col) const
{
    // Only the centred setting is used; anything else keeps the grid's left-aligned default.
    if (alignments_.value(col) == AlignCenterCenter) return Qt::AlignCenter;
    return Qt::AlignLeft | Qt::AlignVCenter;
}

} // namespace tesvaron
