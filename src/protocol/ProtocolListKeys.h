#pragma once

#include <QString>
#include <QVector>
#include <array>

class ExcelSaver;
class ProtocolGroups;

// The list keys of the second pass: a cell that begins with one receives one field of one group.
// All keys of a field share its pair of cursors, ascending ("_I" and bare keys) and descending ("_D").
class ProtocolListKeys
{
public:
    ProtocolListKeys();

    // Ascending cursors to the first group, descending ones to the last.
    void resetListCursors(int groupCount);
    // True when the cell was left alone or written; false when the write failed.
    bool replaceListPlaceholders(ExcelSaver& saver, const ProtocolGroups& groups, const QString& text, int row,
                                 int column);
    // "-" for an index outside the groups.
    static bool writeListCell(ExcelSaver& saver, const ProtocolGroups& groups, int index, int code, int row,
                              int column);

private:
    struct Key
    {
        QString text;
        int code;
        bool descending;
    };
    struct Cursors
    {
        int ascending = 0;
        int descending = -1;
    };
    static constexpr int codeCount = 13;

    // Longest first, so that a key is never taken for a shorter one it begins with.
    QVector<Key> m_keys;
    std::array<Cursors, codeCount> m_cursors;
};
