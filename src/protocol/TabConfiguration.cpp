#include "TabConfiguration.h"

#include "DeviceZFN.h"

TabConfiguration* g_tabConfiguration = nullptr;

TabConfiguration::TabConfiguration(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("TabConfiguration"));
    g_tabConfiguration = this;
}

TabConfiguration::~TabConfiguration()
{
    if (g_tabConfiguration == this)
        g_tabConfiguration = nullptr;
}

void TabConfiguration::loadSettings() {}

void TabConfiguration::applySettings(bool silent)
{
    if (!silent)
        g_device->showPopUpMessage(tr("Настройки применены."));
}

// The page has no read mode yet, so a start reads nothing.
bool TabConfiguration::readConditionsOnStart()
{
    return false;
}

void TabConfiguration::setDeviceSerialNumber(unsigned int number)
{
    m_deviceSerialNumber = number;
}
