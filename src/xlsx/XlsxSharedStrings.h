#pragma once

#include <QStringList>

namespace pugi {
class xml_node;
}

// The shared strings of a workbook, plain and rich text alike as the text a reader sees.
class XlsxSharedStrings
{
public:
    void load(const pugi::xml_node& sst);
    int count() const { return m_strings.size(); }
    QString at(int index) const { return m_strings.at(index); }

    // The text of an "si" or "is" element: its "t", or its runs' "t" joined; phonetic runs left out.
    static QString itemText(const pugi::xml_node& item);

private:
    QStringList m_strings;
};
