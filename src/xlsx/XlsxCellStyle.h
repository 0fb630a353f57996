#pragma once

#include <QString>

// A cell style a writer asks for: a font (an empty family keeps the workbook's default font) and
// one border line on all four sides.
struct XlsxCellStyle
{
    enum Border { NoBorder, Thin, Medium };

    QString fontFamily;
    double fontSize = 0;
    Border border = NoBorder;
};
