#include "XlsxWorkbook.h"

#include "XlsxBlankWorkbook.h"
#include "XlsxFormula.h"
#include "XlsxRelations.h"
#include "XlsxWorksheet.h"

#include <QFile>
#include <QSaveFile>
#include <QSet>
#include <algorithm>
#include <pugixml.hpp>

namespace {

const QString contentTypesPart = QStringLiteral("[Content_Types].xml");
const QString forbiddenInSheetNames = QStringLiteral("[]:*?/\\");
constexpr int maxSheetName = 31;

// The relationship id attribute of a "sheet" element, whatever prefix the file binds to it.
pugi::xml_attribute relationIdAttribute(const pugi::xml_node& sheet)
{
    for (pugi::xml_attribute attribute : sheet.attributes()) {
        const std::string_view name = attribute.name();
        if (name.size() > 3 && name.substr(name.size() - 3) == ":id")
            return attribute;
    }
    return pugi::xml_attribute();
}

// "xl/worksheets/_rels/sheet1.xml.rels" belongs to "xl/worksheets/sheet1.xml", "_rels/.rels" to the package.
QString sourceOfRels(const QString& relsPart)
{
    const int marker = relsPart.lastIndexOf(QLatin1String("_rels/"));
    QString name = relsPart.mid(marker + 6);
    name.chop(5);
    return relsPart.left(marker) + name;
}

void setIntAttribute(pugi::xml_node node, const char* name, int value)
{
    pugi::xml_attribute attribute = node.attribute(name);
    if (!attribute)
        attribute = node.append_attribute(name);
    attribute.set_value(value);
}

}  // namespace

XlsxWorkbook::XlsxWorkbook() = default;
XlsxWorkbook::~XlsxWorkbook() = default;

bool XlsxWorkbook::fail(const QString& reason)
{
    m_error = reason;
    return false;
}

bool XlsxWorkbook::createNew(const QString& sheetName)
{
    m_sheets.clear();
    m_error.clear();
    XlsxBlankWorkbook::fill(m_package);
    return load() && renameSheet(0, sheetName);
}

bool XlsxWorkbook::openFile(const QString& path, const XlsxLimits& limits)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return fail(QStringLiteral("cannot read %1").arg(path));
    if (file.size() > limits.totalBytes)
        return fail(QStringLiteral("%1 is over the size limit").arg(path));
    return openBytes(file.readAll(), limits);
}

bool XlsxWorkbook::openBytes(const QByteArray& bytes, const XlsxLimits& limits)
{
    m_sheets.clear();
    m_error.clear();
    if (!m_package.openBytes(bytes, limits))
        return fail(m_package.errorString());
    return load();
}

bool XlsxWorkbook::load()
{
    QVector<XlsxRelations::Relation> rootRelations;
    if (!XlsxRelations::read(m_package, QString(), rootRelations))
        return fail(m_package.errorString());
    m_workbookPart = XlsxRelations::ofKind(rootRelations, QStringLiteral("officeDocument")).part;
    if (m_workbookPart.isEmpty() || !m_package.contains(m_workbookPart))
        return fail(QStringLiteral("no workbook part"));
    if (!m_package.xml(m_workbookPart) || std::string_view(workbookRoot().name()) != "workbook")
        return fail(QStringLiteral("workbook part broken: %1").arg(m_package.errorString()));
    return loadContentTypes() && loadSheetList() && loadSharedParts();
}

// Every part the workbook removes is struck from the content types, and a package without them
// does not open at all.
bool XlsxWorkbook::loadContentTypes()
{
    pugi::xml_document* types = m_package.xml(contentTypesPart);
    if (!types)
        return fail(m_package.errorString());
    if (std::string_view(types->document_element().name()) != "Types")
        return fail(QStringLiteral("part %1 lists no content types").arg(contentTypesPart));
    return true;
}

pugi::xml_node XlsxWorkbook::workbookRoot()
{
    pugi::xml_document* doc = m_package.xml(m_workbookPart);
    return doc ? doc->document_element() : pugi::xml_node();
}

bool XlsxWorkbook::loadSheetList()
{
    QVector<XlsxRelations::Relation> relations;
    if (!XlsxRelations::read(m_package, m_workbookPart, relations))
        return fail(m_package.errorString());
    for (pugi::xml_node node : workbookRoot().child("sheets").children("sheet")) {
        Sheet sheet;
        sheet.name = QString::fromUtf8(node.attribute("name").value());
        sheet.relationId = QString::fromUtf8(relationIdAttribute(node).value());
        const auto relation = std::find_if(relations.cbegin(), relations.cend(),
                                           [&](const XlsxRelations::Relation& r) { return r.id == sheet.relationId; });
        if (relation == relations.cend())
            return fail(QStringLiteral("sheet %1 has no relationship %2").arg(sheet.name, sheet.relationId));
        sheet.part = relation->part;
        if (!relation->type.endsWith(QLatin1String("/worksheet")))
            return fail(QStringLiteral("sheet %1 points at %2, which is no worksheet").arg(sheet.name, sheet.part));
        if (sheet.part.isEmpty() || !m_package.contains(sheet.part))
            return fail(QStringLiteral("sheet %1 has no part").arg(sheet.name));
        // Deleting one of two sheets over one part would take the other's part with it.
        if (std::any_of(m_sheets.cbegin(), m_sheets.cend(), [&](const Sheet& other) { return other.part == sheet.part; }))
            return fail(QStringLiteral("sheet %1 shares its part %2").arg(sheet.name, sheet.part));
        m_sheets.push_back(std::move(sheet));
    }
    return m_sheets.empty() ? fail(QStringLiteral("workbook without sheets")) : true;
}

bool XlsxWorkbook::loadSharedParts()
{
    QVector<XlsxRelations::Relation> relations;
    XlsxRelations::read(m_package, m_workbookPart, relations);
    pugi::xml_node strings;
    pugi::xml_node styles;
    if (!optionalPartRoot(relations, QStringLiteral("sharedStrings"), strings) ||
        !optionalPartRoot(relations, QStringLiteral("styles"), styles))
        return false;
    m_strings.load(strings);
    m_styles.load(styles);
    m_stylesPart = styles ? XlsxRelations::ofKind(relations, QStringLiteral("styles")).part : QString();
    return true;
}

int XlsxWorkbook::addCellStyle(const XlsxCellStyle& style)
{
    pugi::xml_document* styles = m_stylesPart.isEmpty() ? nullptr : m_package.xml(m_stylesPart);
    const int index = styles ? m_styles.add(styles->document_element(), style) : -1;
    if (index < 0) {
        fail(QStringLiteral("the workbook's styles take no new cell style"));
        return -1;
    }
    m_package.markChanged(m_stylesPart);
    return index;
}

bool XlsxWorkbook::optionalPartRoot(const QVector<XlsxRelations::Relation>& relations, const QString& kind,
                                    pugi::xml_node& root)
{
    const QString part = XlsxRelations::ofKind(relations, kind).part;
    if (!m_package.contains(part))
        return true;
    pugi::xml_document* doc = m_package.xml(part);
    if (!doc)
        return fail(m_package.errorString());
    root = doc->document_element();
    return true;
}

// The sheet list mirrors the "sheet" elements one to one, in their order.
pugi::xml_node XlsxWorkbook::sheetNode(int index)
{
    pugi::xml_node node = workbookRoot().child("sheets").child("sheet");
    for (int i = 0; i < index; ++i)
        node = node.next_sibling("sheet");
    return node;
}

QStringList XlsxWorkbook::sheetNames() const
{
    QStringList names;
    for (const Sheet& sheet : m_sheets)
        names << sheet.name;
    return names;
}

XlsxWorksheet* XlsxWorkbook::worksheet(int index)
{
    if (index < 0 || index >= sheetCount()) {
        fail(QStringLiteral("no sheet %1").arg(index));
        return nullptr;
    }
    Sheet& sheet = m_sheets[size_t(index)];
    if (!sheet.worksheet) {
        auto worksheet = std::make_unique<XlsxWorksheet>(*this, sheet.part);
        if (!worksheet->load())
            return nullptr;
        sheet.worksheet = std::move(worksheet);
    }
    return sheet.worksheet.get();
}

bool XlsxWorkbook::isValidSheetName(const QString& name)
{
    if (name.isEmpty() || name.size() > maxSheetName || name.startsWith(QLatin1Char('\'')) || name.endsWith(QLatin1Char('\'')))
        return false;
    return std::none_of(name.begin(), name.end(), [](QChar c) { return forbiddenInSheetNames.contains(c); });
}

QString XlsxWorkbook::sheetNameFrom(const QString& text)
{
    QString name = text.left(maxSheetName);
    if (!name.isEmpty() && name.at(name.size() - 1).isHighSurrogate())
        name.chop(1);
    if (name.isEmpty())
        return QStringLiteral("_");
    for (QChar& c : name)
        if (forbiddenInSheetNames.contains(c))
            c = QLatin1Char('_');
    for (const int end : {0, name.size() - 1})
        if (name.at(end) == QLatin1Char('\''))
            name[end] = QLatin1Char('_');
    return name;
}

bool XlsxWorkbook::renameSheet(int index, const QString& name)
{
    if (index < 0 || index >= sheetCount())
        return fail(QStringLiteral("no sheet %1").arg(index));
    if (!isValidSheetName(name))
        return fail(QStringLiteral("invalid sheet name \"%1\"").arg(name));
    for (int i = 0; i < sheetCount(); ++i)
        if (i != index && m_sheets[size_t(i)].name.compare(name, Qt::CaseInsensitive) == 0)
            return fail(QStringLiteral("sheet name \"%1\" already used").arg(name));
    const QString oldName = m_sheets[size_t(index)].name;
    if (!renameInFormulas(oldName, name))
        return false;
    sheetNode(index).attribute("name").set_value(name.toUtf8().constData());
    m_package.markChanged(m_workbookPart);
    m_sheets[size_t(index)].name = name;
    return true;
}

bool XlsxWorkbook::renameInFormulas(const QString& oldName, const QString& newName)
{
    for (pugi::xml_node definedName : workbookRoot().child("definedNames").children("definedName")) {
        const QString text = QString::fromUtf8(definedName.text().get());
        definedName.text().set(XlsxFormula::renameSheet(text, oldName, newName).toUtf8().constData());
    }
    for (int i = 0; i < sheetCount(); ++i) {
        if (!m_package.partData(m_sheets[size_t(i)].part).contains("<f"))
            continue;
        XlsxWorksheet* sheet = worksheet(i);
        if (!sheet)
            return false;
        sheet->renameSheetInFormulas(oldName, newName);
    }
    return true;
}

void XlsxWorkbook::shiftDefinedNames(const QString& sheetPart, int row, int count)
{
    for (const Sheet& sheet : m_sheets) {
        if (sheet.part != sheetPart)
            continue;
        for (pugi::xml_node definedName : workbookRoot().child("definedNames").children("definedName")) {
            const QString text = QString::fromUtf8(definedName.text().get());
            const QString shifted = XlsxFormula::shiftRows(text, sheet.name, row, count, true);
            if (shifted != text) {
                definedName.text().set(shifted.toUtf8().constData());
                m_package.markChanged(m_workbookPart);
            }
        }
    }
}

bool XlsxWorkbook::deleteSheet(int index)
{
    if (index < 0 || index >= sheetCount() || sheetCount() < 2)
        return fail(QStringLiteral("sheet %1 cannot be deleted").arg(index));
    const Sheet& sheet = m_sheets[size_t(index)];
    workbookRoot().child("sheets").remove_child(sheetNode(index));
    XlsxRelations::remove(m_package, m_workbookPart, sheet.relationId);
    removeUnreachedParts(sheet.part);
    dropLocalNames(index);
    m_sheets.erase(m_sheets.begin() + index);
    keepViewsInRange(index);
    m_package.markChanged(m_workbookPart);
    return true;
}

// Removes the sheet's part and every part reached only through it, with their relationships.
void XlsxWorkbook::removeUnreachedParts(const QString& sheetPart)
{
    QSet<QString> candidates;
    QStringList queue{sheetPart};
    while (!queue.isEmpty()) {
        const QString part = queue.takeFirst();
        if (candidates.contains(part) || !m_package.contains(part))
            continue;
        candidates.insert(part);
        QVector<XlsxRelations::Relation> relations;
        XlsxRelations::read(m_package, part, relations);
        for (const XlsxRelations::Relation& relation : relations)
            if (!relation.part.isEmpty())
                queue << relation.part;
    }
    QSet<QString> reachedElsewhere;
    for (const QString& name : m_package.partNames()) {
        if (!name.endsWith(QLatin1String(".rels")))
            continue;
        const QString source = sourceOfRels(name);
        if (candidates.contains(source))
            continue;
        QVector<XlsxRelations::Relation> relations;
        XlsxRelations::read(m_package, source, relations);
        for (const XlsxRelations::Relation& relation : relations)
            reachedElsewhere.insert(relation.part);
    }
    for (const QString& part : candidates) {
        if (part != sheetPart && reachedElsewhere.contains(part))
            continue;
        m_package.removePart(part);
        m_package.removePart(XlsxRelations::relsPath(part));
        removeContentType(part);
    }
}

void XlsxWorkbook::removeContentType(const QString& part)
{
    pugi::xml_document* types = m_package.contains(contentTypesPart) ? m_package.xml(contentTypesPart) : nullptr;
    if (!types)
        return;
    const QByteArray partName = (QLatin1Char('/') + part).toUtf8();
    pugi::xml_node root = types->document_element();
    if (root.remove_child(root.find_child_by_attribute("Override", "PartName", partName.constData())))
        m_package.markChanged(contentTypesPart);
}

void XlsxWorkbook::dropLocalNames(int index)
{
    pugi::xml_node names = workbookRoot().child("definedNames");
    for (pugi::xml_node name = names.first_child(); name;) {
        pugi::xml_node next = name.next_sibling();
        pugi::xml_attribute local = name.attribute("localSheetId");
        if (local && local.as_int() == index)
            names.remove_child(name);
        else if (local && local.as_int() > index)
            local.set_value(local.as_int() - 1);
        name = next;
    }
    if (names && !names.child("definedName"))
        workbookRoot().remove_child(names);
}

void XlsxWorkbook::keepViewsInRange(int removedIndex)
{
    for (pugi::xml_node view : workbookRoot().child("bookViews").children("workbookView")) {
        for (const char* name : {"activeTab", "firstSheet"}) {
            pugi::xml_attribute attribute = view.attribute(name);
            if (!attribute)
                continue;
            int value = attribute.as_int();
            if (value > removedIndex)
                --value;
            attribute.set_value(qBound(0, value, sheetCount() - 1));
        }
    }
}

bool XlsxWorkbook::setActiveSheet(int index)
{
    if (index < 0 || index >= sheetCount())
        return fail(QStringLiteral("no sheet %1").arg(index));
    pugi::xml_node root = workbookRoot();
    pugi::xml_node views = root.child("bookViews");
    if (!views)
        views = root.insert_child_before("bookViews", root.child("sheets"));
    pugi::xml_node view = views.child("workbookView");
    if (!view)
        view = views.append_child("workbookView");
    setIntAttribute(view, "activeTab", index);
    if (view.attribute("firstSheet").as_int() > index)
        setIntAttribute(view, "firstSheet", index);
    m_package.markChanged(m_workbookPart);
    for (int i = 0; i < sheetCount(); ++i) {
        if (i != index && !m_package.partData(m_sheets[size_t(i)].part).contains("tabSelected"))
            continue;
        XlsxWorksheet* sheet = worksheet(i);
        if (!sheet)
            return false;
        sheet->setTabSelected(i == index);
    }
    return true;
}

void XlsxWorkbook::removeCalcChain()
{
    QVector<XlsxRelations::Relation> relations;
    XlsxRelations::read(m_package, m_workbookPart, relations);
    const XlsxRelations::Relation chain = XlsxRelations::ofKind(relations, QStringLiteral("calcChain"));
    if (chain.id.isEmpty())
        return;
    XlsxRelations::remove(m_package, m_workbookPart, chain.id);
    m_package.removePart(chain.part);
    removeContentType(chain.part);
}

QByteArray XlsxWorkbook::saveToBytes()
{
    // A changed workbook is recalculated by whoever opens it; a stale chain only misleads it.
    if (m_package.anyChanged())
        removeCalcChain();
    const QByteArray bytes = m_package.toBytes();
    if (bytes.isEmpty())
        fail(m_package.errorString());
    return bytes;
}

bool XlsxWorkbook::save(const QString& path)
{
    const QByteArray bytes = saveToBytes();
    if (bytes.isEmpty())
        return false;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        return fail(QStringLiteral("cannot write %1: %2").arg(path, file.errorString()));
    return true;
}
