#include "XlsxStyles.h"

#include <pugixml.hpp>
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

}  // namespace

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
