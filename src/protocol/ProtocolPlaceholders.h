#pragma once

#include "ProtocolFiller.h"
#include "ProtocolGroups.h"
#include "ProtocolListKeys.h"
#include "ProtocolScalarKeys.h"

// The program's placeholder handlers: the verification groups, the scalar keys of the first pass
// and the list keys of the second. State is rebuilt at every save and belongs to that save.
class ProtocolPlaceholders : public ProtocolFiller
{
public:
    void computeGroups(ExcelSaver& saver) override;
    bool allGroupsConform() const override { return m_groups.allGroupsConform(); }
    void resetListCursors() override;
    bool replaceScalarPlaceholders(ExcelSaver& saver, QString& text, int row, int column) override;
    bool replaceListPlaceholders(ExcelSaver& saver, const QString& text, int row, int column) override;

private:
    ProtocolGroups m_groups;
    ProtocolScalarKeys m_scalars;
    ProtocolListKeys m_lists;
};
