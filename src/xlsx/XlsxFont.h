#pragma once

#include <QString>

// The font of a cell style, as far as a row height is worked out from it.
struct XlsxFont
{
    QString family;
    double pointSize = 0;
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strikeOut = false;
};
