#include "XlsxWorksheet.h"

#include "XlsxFormula.h"
#include "XlsxPackage.h"
#include "XlsxRef.h"
#include "XlsxRelations.h"
#include "XlsxSharedStrings.h"
#include "XlsxText.h"
#include "XlsxWorkbook.h"

#include <QLocale>
#include <QStringList>
#include <QVector>
#include <string_view>
#include <vector>

namespace {

constexpr double defaultRowHeight = 15.0;

QString attributeText(const pugi::xml_node& node, const char* name)
{
    return QString::fromUtf8(node.attribute(name).value());
}

void setAttribute(pugi::xml_node node, const char* name, const QString& value)
{
    pugi::xml_attribute attribute = node.attribute(name);
    if (!attribute)
        attribute = node.append_attribute(name);
    attribute.set_value(value.toUtf8().constData());
}

// The part of a prefixed name after the colon: drawings use "xdr:" by custom, not by rule.
std::string_view localName(const pugi::xml_node& node)
{
    const std::string_view name = node.name();
    const auto colon = name.find(':');
    return colon == std::string_view::npos ? name : name.substr(colon + 1);
}

QString numberText(const QString& stored)
{
    bool ok = false;
    const double value = stored.toDouble(&ok);
    return ok ? QString::number(value, 'g', QLocale::FloatingPointShortest) : stored;
}

}  // namespace

XlsxWorksheet::XlsxWorksheet(XlsxWorkbook& workbook, const QString& partName)
    : m_workbook(workbook)
    , m_partName(partName)
{
}

bool XlsxWorksheet::fail(const QString& reason) const
{
    m_workbook.setError(m_partName + QStringLiteral(": ") + reason);
    return false;
}

bool XlsxWorksheet::load()
{
    pugi::xml_document* doc = m_workbook.package().xml(m_partName);
    if (!doc)
        return fail(m_workbook.package().errorString());
    m_root = doc->document_element();
    m_sheetData = m_root.child("sheetData");
    if (std::string_view(m_root.name()) != "worksheet" || !m_sheetData)
        return fail(QStringLiteral("no worksheet data"));
    if (!loadDrawings())
        return false;
    m_rows.clear();
    int previous = 0;
    for (pugi::xml_node rowNode : m_sheetData.children("row")) {
        const int number = rowNode.attribute("r") ? rowNode.attribute("r").as_int() : previous + 1;
        if (number <= previous || number > XlsxRef::maxRow)
            return fail(QStringLiteral("row %1 out of order or range").arg(number));
        if (!indexRow(rowNode, number))
            return false;
        previous = number;
    }
    return true;
}

// The drawings' anchors follow the sheet's rows, so a sheet whose relationships or drawings are
// broken cannot be edited without leaving pictures on the wrong rows.
bool XlsxWorksheet::loadDrawings()
{
    XlsxPackage& package = m_workbook.package();
    QVector<XlsxRelations::Relation> relations;
    if (!XlsxRelations::read(package, m_partName, relations))
        return fail(package.errorString());
    m_drawingParts.clear();
    for (const XlsxRelations::Relation& relation : relations) {
        if (!relation.type.endsWith(QLatin1String("/drawing")))
            continue;
        pugi::xml_document* drawing = relation.part.isEmpty() ? nullptr : package.xml(relation.part);
        if (!drawing)
            return fail(QStringLiteral("drawing %1: %2").arg(relation.part, package.errorString()));
        if (localName(drawing->document_element()) != "wsDr")
            return fail(QStringLiteral("part %1 is not a drawing").arg(relation.part));
        m_drawingParts << relation.part;
    }
    return true;
}

// Cells without "r" get their implied place written out, so that moving rows can rename them.
bool XlsxWorksheet::indexRow(pugi::xml_node rowNode, int number)
{
    setAttribute(rowNode, "r", QString::number(number));
    Row& row = m_rows[number];
    row.node = rowNode;
    int previous = 0;
    for (pugi::xml_node cellNode : rowNode.children("c")) {
        int cellRow = number;
        int column = previous + 1;
        if (cellNode.attribute("r") && !XlsxRef::parseCell(attributeText(cellNode, "r"), cellRow, column))
            return fail(QStringLiteral("cell reference %1 invalid").arg(attributeText(cellNode, "r")));
        if (cellRow != number || column <= previous || column > XlsxRef::maxColumn)
            return fail(QStringLiteral("cell %1 outside its row or out of order").arg(XlsxRef::cellName(cellRow, column)));
        if (QLatin1String(cellNode.attribute("t").value()) == QLatin1String("s")) {
            const QString index = QString::fromUtf8(cellNode.child("v").text().get()).trimmed();
            bool ok = false;
            const int value = index.toInt(&ok);
            if (!ok || value < 0 || value >= m_workbook.sharedStrings().count())
                return fail(QStringLiteral("string index %1 out of range").arg(index));
        }
        setAttribute(cellNode, "r", XlsxRef::cellName(number, column));
        row.cells[column] = cellNode;
        previous = column;
    }
    return true;
}

int XlsxWorksheet::nextRow(int after) const
{
    const auto it = m_rows.upper_bound(after);
    return it == m_rows.end() ? 0 : it->first;
}

int XlsxWorksheet::nextColumn(int row, int after) const
{
    const auto rowIt = m_rows.find(row);
    if (rowIt == m_rows.end())
        return 0;
    const auto it = rowIt->second.cells.upper_bound(after);
    return it == rowIt->second.cells.end() ? 0 : it->first;
}

pugi::xml_node XlsxWorksheet::cell(int row, int column) const
{
    const auto rowIt = m_rows.find(row);
    if (rowIt == m_rows.end())
        return pugi::xml_node();
    const auto it = rowIt->second.cells.find(column);
    return it == rowIt->second.cells.end() ? pugi::xml_node() : it->second;
}

bool XlsxWorksheet::hasCell(int row, int column) const
{
    return bool(cell(row, column));
}

QString XlsxWorksheet::cellText(int row, int column) const
{
    const pugi::xml_node node = cell(row, column);
    const QLatin1String type(node.attribute("t").value());
    const QString stored = QString::fromUtf8(node.child("v").text().get());
    if (type == QLatin1String("s"))
        return m_workbook.sharedStrings().at(stored.trimmed().toInt());
    if (type == QLatin1String("inlineStr"))
        return XlsxSharedStrings::itemText(node.child("is"));
    if (type == QLatin1String("b"))
        return stored.trimmed() == QLatin1String("1") ? QStringLiteral("true") : QStringLiteral("false");
    if (type == QLatin1String("str") || type == QLatin1String("e"))
        return XlsxText::decode(stored);
    return numberText(stored);
}

int XlsxWorksheet::cellStyle(int row, int column) const
{
    return cell(row, column).attribute("s").as_int();
}

XlsxWorksheet::Row& XlsxWorksheet::ensureRow(int row)
{
    auto it = m_rows.find(row);
    if (it != m_rows.end())
        return it->second;
    const auto next = m_rows.upper_bound(row);
    pugi::xml_node node = next == m_rows.end() ? m_sheetData.append_child("row")
                                                : m_sheetData.insert_child_before("row", next->second.node);
    setAttribute(node, "r", QString::number(row));
    Row& entry = m_rows[row];
    entry.node = node;
    return entry;
}

pugi::xml_node XlsxWorksheet::ensureCell(Row& row, int rowNumber, int column)
{
    const auto it = row.cells.find(column);
    if (it != row.cells.end())
        return it->second;
    const auto next = row.cells.upper_bound(column);
    pugi::xml_node node = next == row.cells.end() ? row.node.append_child("c") : row.node.insert_child_before("c", next->second);
    setAttribute(node, "r", XlsxRef::cellName(rowNumber, column));
    row.cells[column] = node;
    return node;
}

bool XlsxWorksheet::writeString(int row, int column, const QString& text)
{
    pugi::xml_node node = clearedCell(row, column);
    if (!node)
        return false;
    node.append_attribute("t").set_value("inlineStr");
    pugi::xml_node t = node.append_child("is").append_child("t");
    t.append_attribute("xml:space").set_value("preserve");
    t.text().set(XlsxText::encode(text).toUtf8().constData());
    return true;
}

bool XlsxWorksheet::writeNumber(int row, int column, double value)
{
    pugi::xml_node node = clearedCell(row, column);
    if (node && qIsFinite(value))
        node.append_child("v").text().set(QString::number(value, 'g', QLocale::FloatingPointShortest).toUtf8().constData());
    return bool(node);
}

bool XlsxWorksheet::setCellStyle(int row, int column, int style)
{
    if (row < 1 || row > XlsxRef::maxRow || column < 1 || column > XlsxRef::maxColumn || style < 0)
        return false;
    setAttribute(ensureCell(ensureRow(row), row, column), "s", QString::number(style));
    changed();
    return true;
}

pugi::xml_node XlsxWorksheet::clearedCell(int row, int column)
{
    if (row < 1 || row > XlsxRef::maxRow || column < 1 || column > XlsxRef::maxColumn)
        return pugi::xml_node();
    pugi::xml_node node = ensureCell(ensureRow(row), row, column);
    while (node.first_child())
        node.remove_child(node.first_child());
    for (const char* name : {"t", "cm", "vm"})
        node.remove_attribute(name);
    changed();
    return node;
}

bool XlsxWorksheet::setColumnWidth(int column, double width)
{
    if (column < 1 || column > XlsxRef::maxColumn || !(width >= 0 && width <= 255))
        return false;
    pugi::xml_node entry = columnEntry(column);
    setAttribute(entry, "width", QString::number(width, 'g', 15));
    setAttribute(entry, "customWidth", QStringLiteral("1"));
    changed();
    return true;
}

pugi::xml_node XlsxWorksheet::columnEntry(int column)
{
    pugi::xml_node cols = m_root.child("cols");
    if (!cols)
        cols = m_root.insert_child_before("cols", m_sheetData);
    pugi::xml_node entry;
    for (pugi::xml_node col : cols.children("col")) {
        const int first = col.attribute("min").as_int();
        const int last = col.attribute("max").as_int();
        if (column > last)
            continue;
        if (column < first) {
            entry = cols.insert_child_before("col", col);
        } else {
            if (first < column)
                setAttribute(cols.insert_copy_before(col, col), "max", QString::number(column - 1));
            if (column < last)
                setAttribute(cols.insert_copy_after(col, col), "min", QString::number(column + 1));
            entry = col;
        }
        break;
    }
    if (!entry)
        entry = cols.append_child("col");
    setAttribute(entry, "min", QString::number(column));
    setAttribute(entry, "max", QString::number(column));
    return entry;
}

double XlsxWorksheet::rowHeight(int row) const
{
    const auto it = m_rows.find(row);
    if (it != m_rows.end() && it->second.node.attribute("ht"))
        return it->second.node.attribute("ht").as_double();
    const pugi::xml_attribute fallback = m_root.child("sheetFormatPr").attribute("defaultRowHeight");
    return fallback ? fallback.as_double() : defaultRowHeight;
}

void XlsxWorksheet::setRowHeight(int row, double height)
{
    pugi::xml_node node = ensureRow(row).node;
    setAttribute(node, "ht", QString::number(height, 'g', 15));
    setAttribute(node, "customHeight", QStringLiteral("1"));
    changed();
}

void XlsxWorksheet::moveRow(int from, int to)
{
    auto handle = m_rows.extract(from);
    Row& row = handle.mapped();
    setAttribute(row.node, "r", QString::number(to));
    for (auto& [column, node] : row.cells) {
        setAttribute(node, "r", XlsxRef::cellName(to, column));
        pugi::xml_node formula = node.child("f");
        if (formula.attribute("ref"))
            setAttribute(formula, "ref", XlsxRef::shiftRange(attributeText(formula, "ref"), from - 1, to - from, false));
    }
    handle.key() = to;
    m_rows.insert(std::move(handle));
}

bool XlsxWorksheet::shiftRowsDown(int row, int count)
{
    if (count < 1)
        return true;
    if (!m_rows.empty() && m_rows.rbegin()->first > row && m_rows.rbegin()->first + qint64(count) > XlsxRef::maxRow)
        return false;
    std::vector<int> below;
    for (auto it = m_rows.upper_bound(row); it != m_rows.end(); ++it)
        below.push_back(it->first);
    for (auto k = below.rbegin(); k != below.rend(); ++k)
        moveRow(*k, *k + count);
    shiftRanges("mergeCells", "mergeCell", "ref", row, count, false);
    shiftRanges("hyperlinks", "hyperlink", "ref", row, count, false);
    shiftRanges("dataValidations", "dataValidation", "sqref", row, count, true);
    for (pugi::xml_node format : m_root.children("conditionalFormatting"))
        setAttribute(format, "sqref", XlsxRef::shiftRows(attributeText(format, "sqref"), row, count, true));
    if (pugi::xml_node dimension = m_root.child("dimension"))
        setAttribute(dimension, "ref", XlsxRef::shiftRange(attributeText(dimension, "ref"), row, count, true));
    shiftDrawingAnchors(row, count);
    shiftRowBreaks(row, count);
    m_workbook.shiftDefinedNames(m_partName, row, count);
    changed();
    return true;
}

void XlsxWorksheet::shiftRanges(const char* parent, const char* child, const char* attribute, int row, int count,
                                bool extend)
{
    for (pugi::xml_node node : m_root.child(parent).children(child))
        setAttribute(node, attribute, XlsxRef::shiftRows(attributeText(node, attribute), row, count, extend));
}

// Anchor rows of a drawing count from 0: row k sits on sheet row k + 1.
void XlsxWorksheet::shiftDrawingAnchors(int row, int count)
{
    for (const QString& part : m_drawingParts) {
        pugi::xml_document* drawing = m_workbook.package().xml(part);
        bool moved = false;
        for (pugi::xml_node anchor : drawing->document_element().children()) {
            for (pugi::xml_node side : anchor.children()) {
                if (localName(side) != "from" && localName(side) != "to")
                    continue;
                for (pugi::xml_node field : side.children()) {
                    if (localName(field) == "row" && field.text().as_int() >= row) {
                        field.text().set(field.text().as_int() + count);
                        moved = true;
                    }
                }
            }
        }
        if (moved)
            m_workbook.package().markChanged(part);
    }
}

// A manual break's id is the last row of its page: a break right after row goes below the new rows.
void XlsxWorksheet::shiftRowBreaks(int row, int count)
{
    for (pugi::xml_node pageBreak : m_root.child("rowBreaks").children("brk")) {
        const int last = pageBreak.attribute("id").as_int();
        if (last >= row)
            setAttribute(pageBreak, "id", QString::number(qMin(last + count, XlsxRef::maxRow)));
    }
}

void XlsxWorksheet::makeCopy(const Row& source, pugi::xml_node after, int target)
{
    pugi::xml_node node = m_sheetData.insert_copy_after(source.node, after);
    setAttribute(node, "r", QString::number(target));
    Row& copy = m_rows[target];
    copy.node = node;
    pugi::xml_node cellNode = node.child("c");
    for (const auto& [column, original] : source.cells) {
        Q_UNUSED(original)
        pugi::xml_node next = cellNode.next_sibling("c");
        if (column > copiedColumns) {
            node.remove_child(cellNode);
        } else {
            setAttribute(cellNode, "r", XlsxRef::cellName(target, column));
            // A copied formula would repeat a shared formula's group; the copy keeps the value.
            cellNode.remove_child("f");
            copy.cells[column] = cellNode;
        }
        cellNode = next;
    }
}

void XlsxWorksheet::copyOneRowMerges(int sourceRow, int count)
{
    pugi::xml_node merges = m_root.child("mergeCells");
    QStringList oneRow;
    for (pugi::xml_node merge : merges.children("mergeCell")) {
        int first = 0, last = 0;
        const QString ref = attributeText(merge, "ref");
        if (XlsxRef::rowSpan(ref, first, last) && first == sourceRow && last == sourceRow)
            oneRow << ref;
    }
    for (const QString& ref : oneRow) {
        for (int k = 1; k <= count; ++k) {
            pugi::xml_node merge = merges.append_child("mergeCell");
            setAttribute(merge, "ref", XlsxRef::shiftRange(ref, sourceRow - 1, k, false));
        }
    }
    if (!oneRow.isEmpty() && merges.attribute("count"))
        setAttribute(merges, "count", QString::number(std::distance(merges.children("mergeCell").begin(),
                                                                     merges.children("mergeCell").end())));
}

bool XlsxWorksheet::insertRowCopies(int row, int count)
{
    if (count < 1 || m_rows.find(row) == m_rows.end())
        return true;
    if (!shiftRowsDown(row, count))
        return false;
    const Row& source = m_rows.at(row);
    pugi::xml_node after = source.node;
    for (int k = 1; k <= count; ++k) {
        makeCopy(source, after, row + k);
        after = m_rows.at(row + k).node;
    }
    copyOneRowMerges(row, count);
    changed();
    return true;
}

void XlsxWorksheet::setTabSelected(bool selected)
{
    pugi::xml_node view = m_root.child("sheetViews").child("sheetView");
    if (!view)
        return;
    const bool now = view.attribute("tabSelected").as_bool();
    if (now == selected)
        return;
    if (selected)
        setAttribute(view, "tabSelected", QStringLiteral("1"));
    else
        view.remove_attribute("tabSelected");
    changed();
}

void XlsxWorksheet::renameSheetInFormulas(const QString& oldName, const QString& newName)
{
    bool any = false;
    for (auto& [number, row] : m_rows) {
        Q_UNUSED(number)
        for (auto& [column, node] : row.cells) {
            Q_UNUSED(column)
            pugi::xml_node formula = node.child("f");
            const QString text = QString::fromUtf8(formula.text().get());
            const QString renamed = XlsxFormula::renameSheet(text, oldName, newName);
            if (formula && renamed != text) {
                formula.text().set(renamed.toUtf8().constData());
                any = true;
            }
        }
    }
    if (any)
        changed();
}

void XlsxWorksheet::changed()
{
    m_workbook.package().markChanged(m_partName);
}
