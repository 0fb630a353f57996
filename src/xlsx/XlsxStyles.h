#pragma once

#include "XlsxFont.h"

#include <QVector>

namespace pugi {
class xml_node;
}

// Fonts of the cell styles ("cellXfs") of a styles part, read once.
class XlsxStyles
{
public:
    void load(const pugi::xml_node& styleSheet);
    // The default font for an unknown style index.
    XlsxFont font(int styleIndex) const;

private:
    QVector<XlsxFont> m_fonts;
    QVector<int> m_styleFonts;
};
