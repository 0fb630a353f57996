#pragma once

#include <QString>

// What the name of a template sheet says about it: a sheet marked for another device, or for the
// verdict not reached, is dropped; a kept marked sheet gets the title of its document.
class ProtocolSheetRule
{
public:
    ProtocolSheetRule(const QString& sheetName, bool allGroupsConform);

    bool isDropped() const { return m_dropped; }
    // Empty for a sheet without a marker, which keeps its name.
    QString newName() const { return m_newName; }

private:
    bool m_dropped = false;
    QString m_newName;
};
