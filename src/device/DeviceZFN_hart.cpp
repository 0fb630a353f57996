#include "DeviceZFN.h"

#include "DeviceSettings.h"
#include "ExchangeWait.h"
#include "HartMaster.h"
#include "PollController.h"
#include "PortOwner.h"

// The master's reports are the device object's own signals.
void DeviceZFN::createHartMaster()
{
    m_hart = new HartMaster(*m_link, *m_portOwner, *m_poll, *m_hartData, *m_hartEdited, *m_settings, *m_mutex, m_deviceName);
    connect(m_hart, &HartMaster::lockInterface, this, &DeviceZFN::lockInteface, Qt::DirectConnection);
    connect(m_hart, &HartMaster::progress, this, &DeviceZFN::sendProgress, Qt::DirectConnection);
    connect(m_hart, &HartMaster::commandResult, this, &DeviceZFN::sendHartResult, Qt::DirectConnection);
    connect(m_hart, &HartMaster::operationFinished, this, &DeviceZFN::sendAlgoritmFinished, Qt::DirectConnection);
    connect(m_hart, &HartMaster::connectionState, this, &DeviceZFN::sendHartDeviceConnectionState,
            Qt::DirectConnection);
    connect(m_hart, &HartMaster::popUp, this, &DeviceZFN::showPopUpMessageSignal, Qt::DirectConnection);
    connect(m_hart, &HartMaster::settingsBlockChanged, this, &DeviceZFN::settingsBlockChanged, Qt::DirectConnection);
    connect(this, &DeviceZFN::deviceConnected, m_hart, &HartMaster::forgetTransmitter, Qt::DirectConnection);
}

// One failure raises one message: the connect step may already have shown the calibrator's.
bool DeviceZFN::checkHartConnection(bool showMessages)
{
    if (!m_connected) {
        if (showMessages) {
            const QString text = m_deviceName + tr(" не подключен.");
            emit showStatusMessageSignal(text);
            showPopUpMessage(text);
        }
    } else if (!m_settings->isHartEnabled()) {
        if (showMessages)
            showPopUpMessage(tr("HART протокол на устройстве не включен."));
    } else if (m_hartData->present) {
        emit sendHartDeviceConnectionState(true);
        return true;
    } else if (!m_portOwner->canExchange()) {
        if (showMessages)
            refuseBusyPort();
        return false;
    } else if (connectTransmitter(!showMessages)) {
        return true;
    } else if (showMessages && !m_poll->hartErrorShown) {
        showPopUpMessage(tr("HART устройство не подключено!"));
    }
    emit sendHartDeviceConnectionState(false);
    return false;
}

// Its two reads show one busy overlay when the window's thread makes them.
bool DeviceZFN::connectTransmitter(bool quiet)
{
    const ExchangeWait::Operation operation(*m_exchangeWait);
    return m_hart->hartConnect(quiet, true);
}

bool DeviceZFN::sendHartFrame(QByteArray& hexFrame)
{
    return m_hart->sendHartFrame(hexFrame);
}

bool DeviceZFN::sendHartCommand(quint8 command, int addressForm, int frameType, QByteArray& data,
                                bool acceptDeviceError, bool showDeviceError)
{
    return m_hart->sendHartCommand(command, addressForm, frameType, data, acceptDeviceError, showDeviceError);
}

bool DeviceZFN::sendHartCommandNoData(quint8 command, bool acceptDeviceError, bool showDeviceError)
{
    return m_hart->sendHartCommandNoData(command, acceptDeviceError, showDeviceError);
}

bool DeviceZFN::hartConnect(bool quiet, bool readIdentity)
{
    return m_hart->hartConnect(quiet, readIdentity);
}

bool DeviceZFN::startHartAlgorithm(int algorithm, bool flag, int fieldMask)
{
    const HartMaster::Start result = m_hart->start(algorithm, flag, fieldMask);
    if (result == HartMaster::Start::PortBusy)
        refuseBusyPort();
    return result == HartMaster::Start::Started;
}

void DeviceZFN::waitForWorker()
{
    m_hart->waitForWorker();
}

bool DeviceZFN::leaveFixedCurrent()
{
    return m_hart->leaveFixedCurrent();
}

bool DeviceZFN::readSpecificInfo()
{
    return m_hart->readSpecificInfo();
}

void DeviceZFN::makeHartAlgoritmSeparate()
{
    makeHartAlgoritmSeparate(false);
}

void DeviceZFN::makeHartAlgoritmSeparate(bool nested)
{
    m_hart->runInCurrentThread(nested);
}
