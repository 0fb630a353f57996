#include "TestProtocolFiller.h"

#include "ExcelSaver.h"

#include <algorithm>

TestProtocolFiller::TestProtocolFiller(int groupCount, bool allConform)
    : m_groupCount(groupCount)
    , m_allConform(allConform)
{
}

void TestProtocolFiller::setScalar(const QString& key, const QString& value)
{
    m_scalars.append({key, value});
    // A key that begins another is tested after it.
    std::stable_sort(m_scalars.begin(), m_scalars.end(),
                     [](const auto& a, const auto& b) { return a.first.size() > b.first.size(); });
}

void TestProtocolFiller::failAt(int row, int column)
{
    m_failCell = {row, column};
}

void TestProtocolFiller::computeGroups(ExcelSaver&)
{
    ++m_computeCount;
}

void TestProtocolFiller::resetListCursors()
{
    m_cursors.clear();
}

bool TestProtocolFiller::replaceScalarPlaceholders(ExcelSaver& saver, QString& text, int row, int column)
{
    if (m_failCell == qMakePair(row, column))
        return false;
    if (!text.contains(QLatin1Char('&')))
        return true;
    for (const auto& [key, value] : m_scalars) {
        if (text.contains(key)) {
            text.replace(key, value);
            saver.writeCell(row, column, text);
        }
    }
    const bool half = text == QLatin1String("&LST_H");
    if (half || text == QLatin1String("&LST_F")) {
        saver.writeCell(row, column, QString());
        saver.insertListRows(row, half ? (m_groupCount - 1) / 2 : m_groupCount - 1);
    }
    return true;
}

bool TestProtocolFiller::replaceListPlaceholders(ExcelSaver& saver, const QString& text, int row, int column)
{
    const bool ascending = text.endsWith(QLatin1String("_I"));
    if (!text.startsWith(QLatin1String("&D_")) || !(ascending || text.endsWith(QLatin1String("_D"))))
        return true;
    const QString name = text.mid(3, text.size() - 5);
    auto cursor = m_cursors.find(name);
    if (cursor == m_cursors.end())
        cursor = m_cursors.insert(name, {0, m_groupCount - 1});
    const int group = ascending ? cursor->first++ : cursor->second--;
    const bool inside = group >= 0 && group < m_groupCount;
    return saver.writeCell(row, column, inside ? name + QLatin1Char(' ') + QString::number(group) : QStringLiteral("-"));
}
