#pragma once

#include <QString>

// Cell text as SpreadsheetML stores it: characters XML cannot carry are written as "_xHHHH_".
class XlsxText
{
public:
    static constexpr int maxCellLength = 32767;

    static QString decode(const QString& stored);
    // Drops characters XML cannot hold, stops at the cell limit and escapes what would decode.
    static QString encode(const QString& text);
};
