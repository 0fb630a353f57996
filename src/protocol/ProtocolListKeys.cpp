#include "ProtocolListKeys.h"

#include "ExcelSaver.h"
#include "ProtocolGroups.h"

#include <algorithm>

namespace {

struct CodeKeys
{
    int code;
    std::initializer_list<const char*> keys;
};

const CodeKeys listKeys[] = {
    {ProtocolGroupRecord::RowField, {"&D1_INX", "&D_INX"}},
    {ProtocolGroupRecord::CurrentField, {"&D_I", "&D1_SGN", "&D_SGN"}},
    {ProtocolGroupRecord::ExpectedCurrentField, {"&D1_ECSGN", "&D_ECSGN"}},
    {ProtocolGroupRecord::MeasuredField, {"&D_P", "&D1_VAL", "&D_VAL"}},
    {ProtocolGroupRecord::ReferenceField, {"&VR_E", "&D1_REFF", "&D_REFF"}},
    {ProtocolGroupRecord::ErrorField, {"&D_ACC", "&D1_ACC"}},
    {ProtocolGroupRecord::AllowedErrorField, {"&D_ALL_ACC", "&D1_ALL_ACC"}},
    {ProtocolGroupRecord::RangeField, {"&D_INT", "&D1_INT"}},
    {ProtocolGroupRecord::UncertaintyField, {"&D_UND_PRC", "&D1_UNC_PRC", "&D_UNC_PRC"}},
    {ProtocolGroupRecord::Field7, {"&D_UND", "&D1_UNC", "&D_UNC"}},
    {ProtocolGroupRecord::VariationField, {"&D_VAR", "&D1_VAR"}},
    {ProtocolGroupRecord::AllowedVariationField, {"&D_ALL_VAR", "&D1_ALL_VAR"}},
};

}  // namespace

ProtocolListKeys::ProtocolListKeys()
{
    for (const CodeKeys& entry : listKeys) {
        for (const char* key : entry.keys) {
            const QString text = QString::fromLatin1(key);
            m_keys.append({text + QStringLiteral("_D"), entry.code, true});
            m_keys.append({text + QStringLiteral("_I"), entry.code, false});
            m_keys.append({text, entry.code, false});
        }
    }
    std::stable_sort(m_keys.begin(), m_keys.end(),
                     [](const Key& a, const Key& b) { return a.text.size() > b.text.size(); });
}

void ProtocolListKeys::resetListCursors(int groupCount)
{
    m_cursors.fill(Cursors{0, groupCount - 1});
}

bool ProtocolListKeys::replaceListPlaceholders(ExcelSaver& saver, const ProtocolGroups& groups, const QString& text,
                                               int row, int column)
{
    if (!text.startsWith(QLatin1Char('&')))
        return true;
    for (const Key& key : qAsConst(m_keys)) {
        if (!text.startsWith(key.text))
            continue;
        Cursors& cursors = m_cursors[size_t(key.code)];
        const int index = key.descending ? cursors.descending-- : cursors.ascending++;
        return writeListCell(saver, groups, index, key.code, row, column);
    }
    return true;
}

bool ProtocolListKeys::writeListCell(ExcelSaver& saver, const ProtocolGroups& groups, int index, int code, int row,
                                     int column)
{
    const bool inside = index >= 0 && index < groups.count();
    return saver.writeCell(row, column, inside ? groups.groups().at(index).fieldText(code) : QStringLiteral("-"));
}
