#pragma once

#include "XlsxCellStyle.h"
#include "XlsxFont.h"

#include <QVector>

namespace pugi {
class xml_node;
}

// Fonts of the cell styles ("cellXfs") of a styles part, read once, and new cell styles added to it.
class XlsxStyles
{
public:
    void load(const pugi::xml_node& styleSheet);
    // The index of a cell style with this font and border; an equal font, border or style already
    // in the part is used again rather than repeated. -1 when the part lacks one of its lists.
    int add(pugi::xml_node styleSheet, const XlsxCellStyle& style);
    // The default font for an unknown style index.
    XlsxFont font(int styleIndex) const;

private:
    QVector<XlsxFont> m_fonts;
    QVector<int> m_styleFonts;
};
