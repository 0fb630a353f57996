#pragma once

#include <QString>
#include <QVector>

class ChannelRecord;
class DeviceSettings;
class ExcelSaver;
class ProtocolGroups;
class VerificationSettings;

// The scalar keys of the first pass, as tables of key and value built once a save. A key may stand
// anywhere in a cell among other words; each hit replaces every occurrence and writes the cell.
class ProtocolScalarKeys
{
public:
    // The verdict and the maxima come from groups, which must already be computed.
    void build(const VerificationSettings& settings, const DeviceSettings& device, const ChannelRecord& channel,
               const ProtocolGroups& groups);
    // False only when a cell write failed.
    bool replaceScalarPlaceholders(ExcelSaver& saver, QString& text, int row, int column) const;

private:
    struct Key
    {
        QString key;
        QString value;
        // The value has lines of its own; the row grows with them.
        bool growsRow = false;
    };
    // The keys of a group are tested only when the text contains its gate (an empty gate always).
    struct Group
    {
        QString gate;
        QVector<Key> keys;
    };

    static Group referenceGroup(const VerificationSettings& settings, const DeviceSettings& device,
                                const ChannelRecord& channel);
    static Group conditionsGroup(const VerificationSettings& settings, const DeviceSettings& device);
    static Group deviceGroup(const VerificationSettings& settings, const ChannelRecord& channel);
    static Group maximaGroup(const ProtocolGroups& groups);
    static Group verdictGroup(const VerificationSettings& settings, bool conform);
    static Group deviceVerdictGroup(const VerificationSettings& settings, bool conform);
    static QString referenceList(const VerificationSettings& settings, const DeviceSettings& device);
    static void fitRowHeight(ExcelSaver& saver, int row, int column, const QString& value);
    bool replaceListRowKey(ExcelSaver& saver, const QString& text, int row, int column) const;

    QVector<Group> m_groups;
    int m_groupCount = 0;
};
