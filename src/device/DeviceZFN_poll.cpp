#include "DeviceZFN.h"

#include "MeasurementPoller.h"
#include "PollController.h"

#include <QMutex>

bool DeviceZFN::startPoll()
{
    if (m_poller->start())
        return true;
    refuseBusyPort();
    return false;
}

void DeviceZFN::stopPoll()
{
    m_poller->stop();
}

void DeviceZFN::setPollMode(int mode)
{
    m_poll->pollMode = mode;
}

int DeviceZFN::pollMode() const
{
    return m_poll->pollMode;
}

bool DeviceZFN::hasSessionCycle() const
{
    QMutexLocker lock(m_mutex);
    return m_poll->isPollRunning() && m_poller->hasSessionCycle();
}

void DeviceZFN::pollSlot()
{
    m_poller->run();
}

bool DeviceZFN::getEventByKey(int key)
{
    return m_poller->getEventByKey(key);
}
