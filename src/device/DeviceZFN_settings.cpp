#include "DeviceZFN.h"

#include "DeviceSettings.h"
#include "SettingsOperations.h"
#include "TextDiscription.h"

void DeviceZFN::startAlgorithm(int operation, bool flag, int argument)
{
    if (!m_settingsOperations->start(operation, flag, argument, {m_deviceType, m_deviceName}))
        refuseBusyPort();
}

void DeviceZFN::makeAlgoritmSeparate()
{
    m_settingsOperations->run();
}

bool DeviceZFN::writeParameter(QByteArray& data, int reg, const QString& name, int type, int count)
{
    return m_settingsOperations->writeParameter(data, reg, name, type, count);
}

bool DeviceZFN::readParameter(QByteArray& out, int reg, const QString& name, int type, int count)
{
    return m_settingsOperations->readParameter(out, reg, name, type, count);
}

void DeviceZFN::showReadError(const QString& name)
{
    m_settingsOperations->showReadError(name);
}

bool DeviceZFN::settingsReadSucceeded() const
{
    return m_settingsOperations->lastReadSucceeded();
}

bool DeviceZFN::verificationReadSucceeded() const
{
    return m_settingsOperations->lastVerificationReadSucceeded();
}

int etalonUnitIndex()
{
    return g_device->deviceSettings()->etalonUnitIndex();
}

int verifiablePdUnitIndex()
{
    return g_device->deviceSettings()->verifiablePdUnitIndex();
}

void setVerifiablePdUnitIndex(quint8 index)
{
    g_device->deviceSettings()->setVerifiablePdUnitIndex(index);
}

QString etalonUnitName()
{
    return unitName(etalonUnitIndex());
}
