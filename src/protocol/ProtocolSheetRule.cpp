#include "ProtocolSheetRule.h"

namespace {

enum class Stays { Always, WhenConform, WhenNotConform };

struct Marker
{
    const char* prefix;
    const char* title;
    Stays stays;
};

// The titles are the documents' own names, not texts of the interface.
const Marker markers[] = {
    {"&DEV_SH_", "", Stays::Always},
    {"&DEV_VCR_", "Свидетельство", Stays::WhenConform},
    {"&DEV_VER_", "Извещение", Stays::WhenNotConform},
    {"&DEV_CCR_", "Сертификат", Stays::Always},
};

constexpr uint producedDevice = 1;

}  // namespace

ProtocolSheetRule::ProtocolSheetRule(const QString& sheetName, bool allGroupsConform)
{
    for (const Marker& marker : markers) {
        const QString prefix = QString::fromUtf8(marker.prefix);
        if (!sheetName.startsWith(prefix))
            continue;
        const uint device = sheetName.mid(prefix.size()).toUInt();
        const bool verdictFits = marker.stays == Stays::Always ||
                                 (marker.stays == Stays::WhenConform) == allGroupsConform;
        m_dropped = device != producedDevice || !verdictFits;
        if (!m_dropped)
            m_newName = QString::fromUtf8(marker.title) + QStringLiteral(" Прибор ") + QString::number(device);
        return;
    }
}
