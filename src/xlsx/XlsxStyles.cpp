#include "XlsxStyles.h"

#include <pugixml.hpp>
#include <sstream>
#include <string_view>

namespace {

// "<b/>" and "<b val="1"/>" are set, "<b val="0"/>" and "<b val="false"/>" are not.
bool flag(const pugi::xml_node& font, const char* name)
{
    const pugi::xml_node node = font.child(name);
    if (!node)
        return false;
    const QLatin1String value(node.attribute("val").value());
    return value != QLatin1String("0") && value != QLatin1String("false") &&
           (std::string_view(name) != "u" || value != QLatin1String("none"));
}

XlsxFont readFont(const pugi::xml_node& node)
{
    XlsxFont font;
    font.family = QString::fromUtf8(node.child("name").attribute("val").value());
    font.pointSize = node.child("sz").attribute("val").as_double();
    font.bold = flag(node, "b");
    font.italic = flag(node, "i");
    font.underline = flag(node, "u");
    font.strikeOut = flag(node, "strike");
    return font;
}

std::string rawXml(const pugi::xml_node& node)
{
    std::ostringstream stream;
    node.print(stream, "", pugi::format_raw);
    return stream.str();
}

// The index of the list's child that reads like entry, appended (and counted) when there is none.
int findOrAppend(pugi::xml_node styleSheet, const char* list, const pugi::xml_node& entry)
{
    pugi::xml_node parent = styleSheet.child(list);
    if (!parent)
        return -1;
    const std::string wanted = rawXml(entry);
    int index = 0;
    for (pugi::xml_node child : parent.children(entry.name())) {
        if (rawXml(child) == wanted)
            return index;
        ++index;
    }
    parent.append_copy(entry);
    pugi::xml_attribute count = parent.attribute("count");
    if (!count)
        count = parent.append_attribute("count");
    count.set_value(index + 1);
    return index;
}

void setValue(pugi::xml_node node, const char* name, const QString& value)
{
    node.append_child(name).append_attribute("val").set_value(value.toUtf8().constData());
}

int fontIndex(pugi::xml_node styleSheet, const XlsxCellStyle& style)
{
    if (style.fontFamily.isEmpty())
        return 0;
    pugi::xml_document candidate;
    pugi::xml_node font = candidate.append_child("font");
    if (style.fontSize > 0)
        setValue(font, "sz", QString::number(style.fontSize, 'g', 15));
    setValue(font, "name", style.fontFamily);
    return findOrAppend(styleSheet, "fonts", font);
}

int borderIndex(pugi::xml_node styleSheet, XlsxCellStyle::Border border)
{
    if (border == XlsxCellStyle::NoBorder)
        return 0;
    pugi::xml_document candidate;
    pugi::xml_node node = candidate.append_child("border");
    for (const char* side : {"left", "right", "top", "bottom"})
        node.append_child(side).append_attribute("style").set_value(border == XlsxCellStyle::Thin ? "thin" : "medium");
    node.append_child("diagonal");
    return findOrAppend(styleSheet, "borders", node);
}

}  // namespace

int XlsxStyles::add(pugi::xml_node styleSheet, const XlsxCellStyle& style)
{
    const int font = fontIndex(styleSheet, style);
    const int border = borderIndex(styleSheet, style.border);
    if (font < 0 || border < 0)
        return -1;
    pugi::xml_document candidate;
    pugi::xml_node xf = candidate.append_child("xf");
    xf.append_attribute("numFmtId").set_value(0);
    xf.append_attribute("fontId").set_value(font);
    xf.append_attribute("fillId").set_value(0);
    xf.append_attribute("borderId").set_value(border);
    xf.append_attribute("xfId").set_value(0);
    if (font != 0)
        xf.append_attribute("applyFont").set_value(1);
    if (border != 0)
        xf.append_attribute("applyBorder").set_value(1);
    const int index = findOrAppend(styleSheet, "cellXfs", xf);
    load(styleSheet);
    return index;
}

void XlsxStyles::load(const pugi::xml_node& styleSheet)
{
    m_fonts.clear();
    m_styleFonts.clear();
    for (pugi::xml_node font : styleSheet.child("fonts").children("font"))
        m_fonts << readFont(font);
    for (pugi::xml_node xf : styleSheet.child("cellXfs").children("xf"))
        m_styleFonts << xf.attribute("fontId").as_int();
}

XlsxFont XlsxStyles::font(int styleIndex) const
{
    const int fontIndex = styleIndex >= 0 && styleIndex < m_styleFonts.size() ? m_styleFonts.at(styleIndex) : 0;
    return fontIndex >= 0 && fontIndex < m_fonts.size() ? m_fonts.at(fontIndex) : XlsxFont();
}
