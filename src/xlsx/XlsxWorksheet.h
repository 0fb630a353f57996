#pragma once

#include <QString>
#include <QStringList>
#include <map>
#include <pugixml.hpp>

class XlsxWorkbook;

// One worksheet part, indexed by row and column (both from 1) over its own XML, so that every
// element, attribute and text the sheet holds and the layer does not touch stays as it was.
class XlsxWorksheet
{
public:
    // Columns copied into the rows that insertRowCopies makes.
    static constexpr int copiedColumns = 49;

    XlsxWorksheet(XlsxWorkbook& workbook, const QString& partName);

    // Parses and indexes the part; false, with the workbook's error text, for a broken sheet, its
    // relationships or a drawing of it.
    bool load();
    QString partName() const { return m_partName; }

    // The first row after the given one that holds a "row" element, or 0.
    int nextRow(int after) const;
    // The first column after the given one that holds a cell in row, or 0.
    int nextColumn(int row, int after) const;
    bool hasCell(int row, int column) const;
    // A formula cell gives its cached value; an absent cell an empty text.
    QString cellText(int row, int column) const;
    // The cell's style index ("s"), 0 for an absent cell.
    int cellStyle(int row, int column) const;
    // Writes an inline string that keeps the cell's style; false outside the sheet's limits.
    bool writeString(int row, int column, const QString& text);
    // As writeString for a number; a value that is not finite leaves the cell empty.
    bool writeNumber(int row, int column, double value);
    // A style index of the workbook (XlsxWorkbook::addCellStyle); an absent cell is made, empty.
    bool setCellStyle(int row, int column, int style);
    // In the spreadsheet's character units, 0 to 255.
    bool setColumnWidth(int column, double width);

    double rowHeight(int row) const;
    void setRowHeight(int row, double height);

    // Puts count copies of row (its columns 1-49, height and one-row merges) below it, after moving
    // the rows below down. Nothing happens for a row without an element or a count below 1; false
    // when the rows would leave the sheet.
    bool insertRowCopies(int row, int count);
    // Moves the rows below row down by count, with everything that hangs on them.
    bool shiftRowsDown(int row, int count);

    void setTabSelected(bool selected);
    void renameSheetInFormulas(const QString& oldName, const QString& newName);

private:
    struct Row
    {
        pugi::xml_node node;
        std::map<int, pugi::xml_node> cells;
    };

    bool fail(const QString& reason) const;
    bool loadDrawings();
    bool indexRow(pugi::xml_node rowNode, int number);
    pugi::xml_node cell(int row, int column) const;
    Row& ensureRow(int row);
    pugi::xml_node ensureCell(Row& row, int rowNumber, int column);
    // The cell emptied of its value, keeping its style; null outside the sheet's limits.
    pugi::xml_node clearedCell(int row, int column);
    // The "col" element that covers exactly this column, splitting a range that holds it.
    pugi::xml_node columnEntry(int column);
    void moveRow(int from, int to);
    void makeCopy(const Row& source, pugi::xml_node after, int target);
    void copyOneRowMerges(int sourceRow, int count);
    void shiftRanges(const char* parent, const char* child, const char* attribute, int row, int count, bool extend);
    void shiftDrawingAnchors(int row, int count);
    void shiftRowBreaks(int row, int count);
    void changed();

    XlsxWorkbook& m_workbook;
    QString m_partName;
    pugi::xml_node m_root;
    pugi::xml_node m_sheetData;
    std::map<int, Row> m_rows;
    QStringList m_drawingParts;
};
