#pragma once

#include <QString>

// A1-style references: cells, ranges ("A1:C4", "$A$1:$H$40", "3:5") and lists of ranges.
class XlsxRef
{
public:
    static constexpr int maxRow = 1048576;
    static constexpr int maxColumn = 16384;

    // False when the text is not a plain cell name inside the sheet's limits.
    static bool parseCell(const QString& text, int& row, int& column);
    static QString cellName(int row, int column);
    static QString columnName(int column);

    // Rows below row move down by count. With extend, a range that holds row also grows by count,
    // so an area that the inserted rows fall into takes them in.
    static QString shiftRows(const QString& ranges, int row, int count, bool extend);
    static QString shiftRange(const QString& range, int row, int count, bool extend);
    // First and last row of a range; false for whole columns or text that is no range.
    static bool rowSpan(const QString& range, int& first, int& last);
};
