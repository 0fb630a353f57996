#include "XlsxSharedStrings.h"

#include "XlsxText.h"

#include <pugixml.hpp>
#include <string_view>

void XlsxSharedStrings::load(const pugi::xml_node& sst)
{
    m_strings.clear();
    for (pugi::xml_node item : sst.children("si"))
        m_strings << itemText(item);
}

QString XlsxSharedStrings::itemText(const pugi::xml_node& item)
{
    QString text;
    for (pugi::xml_node child : item.children()) {
        if (std::string_view(child.name()) == "t")
            text += QString::fromUtf8(child.text().get());
        else if (std::string_view(child.name()) == "r")
            text += QString::fromUtf8(child.child("t").text().get());
    }
    return XlsxText::decode(text);
}
