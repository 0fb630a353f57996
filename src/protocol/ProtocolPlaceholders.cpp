#include "ProtocolPlaceholders.h"

#include "ChannelRecord.h"
#include "DeviceSettings.h"
#include "ExcelSaver.h"
#include "ResultsModel.h"
#include "VerificationSettings.h"

void ProtocolPlaceholders::computeGroups(ExcelSaver& saver)
{
    // A source the engine was not given counts as empty: no groups, default texts.
    const ChannelRecord noChannel;
    const DeviceSettings noDevice;
    const ChannelRecord& channel = saver.channel() ? *saver.channel() : noChannel;
    const DeviceSettings& device = saver.deviceSettings() ? *saver.deviceSettings() : noDevice;
    if (saver.resultsModel())
        m_groups.computeGroups(*saver.resultsModel(), channel, *saver.verificationSettings());
    else
        m_groups.clear();
    m_scalars.build(*saver.verificationSettings(), device, channel, m_groups);
}

void ProtocolPlaceholders::resetListCursors()
{
    m_lists.resetListCursors(m_groups.count());
}

bool ProtocolPlaceholders::replaceScalarPlaceholders(ExcelSaver& saver, QString& text, int row, int column)
{
    return m_scalars.replaceScalarPlaceholders(saver, text, row, column);
}

bool ProtocolPlaceholders::replaceListPlaceholders(ExcelSaver& saver, const QString& text, int row, int column)
{
    return m_lists.replaceListPlaceholders(saver, m_groups, text, row, column);
}
