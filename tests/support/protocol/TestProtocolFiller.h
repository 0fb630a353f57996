#pragma once

#include "ProtocolFiller.h"

#include <QMap>
#include <QPair>
#include <QString>
#include <QVector>

// Stand-in placeholder handlers: scalar keys from a table, "&LST_H"/"&LST_F" rows as the engine's
// template expects, and list cells "&D_<NAME>_I" / "_D" written as "<NAME> <group>" by a cursor per
// name, ascending or descending, "-" past the groups.
class TestProtocolFiller : public ProtocolFiller
{
public:
    TestProtocolFiller(int groupCount, bool allConform);

    void setScalar(const QString& key, const QString& value);
    // The scalar handler fails at this cell, as a failed write would.
    void failAt(int row, int column);

    void computeGroups(ExcelSaver& saver) override;
    bool allGroupsConform() const override { return m_allConform; }
    void resetListCursors() override;
    bool replaceScalarPlaceholders(ExcelSaver& saver, QString& text, int row, int column) override;
    bool replaceListPlaceholders(ExcelSaver& saver, const QString& text, int row, int column) override;

    int computeCount() const { return m_computeCount; }

private:
    int m_groupCount;
    bool m_allConform;
    int m_computeCount = 0;
    QPair<int, int> m_failCell{0, 0};
    QVector<QPair<QString, QString>> m_scalars;
    QMap<QString, QPair<int, int>> m_cursors;
};
