#pragma once
// The history table: a grid addressed like a flex grid. Row 0 is the fixed header row (shown as
// the table's header, so it stays in view while the rows scroll); sizes and positions in twips.

#include <QTableWidget>

namespace tesvaron {

inline constexpr int TwipsPerPixel = 15;

class FlexGrid : public QTableWidget
{
    Q_OBJECT
public:
    static constexpr int AlignCenterCenter = 4;

    explicit FlexGrid(QWidget* parent = nullptr);

    int Rows() const { return rowCount() + 1; }
    void setRows(int rows);
    int Cols() const { return columnCount(); }
    void setCols(int cols);

    QString TextMatrix(int row, int col) const;
    void setTextMatrix(int row, int col, const QString& text);

    int ColWidth(int col) const { return columnWidth(col) * TwipsPerPixel; }
    void setColWidth(int col, int twips) { setColumnWidth(col, pixels(twips)); }
    int RowHeight(int row) const;
    void setRowHeight(int row, int twips);
    int ColAlignment(int col) const { return alignments_.value(col, 0); }
    void setColAlignment(int col, int alignment);

    void setLeft(int twips) { move(pixels(twips), y()); }
    void setTop(int twips) { move(x(), pixels(twips)); }
    void setWidth(int twips) { resize(pixels(twips), height()); }
    void setHeight(int twips) { resize(width(), pixels(twips)); }
    int Left() const { return x() * TwipsPerPixel; }
    int Top() const { return y() * TwipsPerPixel; }

    static int pixels(int twips) { return (twips + TwipsPerPixel / 2) / TwipsPerPixel; }

private:
    Qt::Alignment qtAlignment(int col) const;
    QTableWidgetItem* cell(int row, int col) const;

    QList<int> alignments_;
    int headerHeight_ = 0;
};

} // namespace tesvaron
