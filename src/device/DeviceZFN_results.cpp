#include "DeviceZFN.h"

#include "ResultsCollector.h"

bool DeviceZFN::storeCurrentResult()
{
    return m_collector->storeCurrentResult();
}

void DeviceZFN::addResult()
{
    m_collector->addResult();
}

void DeviceZFN::addGroupResult()
{
    m_collector->addGroupResult();
}

void DeviceZFN::addGroupElement()
{
    m_collector->addGroupElement();
}

void DeviceZFN::stopAddingGroup()
{
    m_collector->stopAddingGroup();
}

void DeviceZFN::setArchiveProxy(QAbstractItemModel* proxy)
{
    m_collector->setArchiveProxy(proxy);
}

void DeviceZFN::setArchiveSelectedRows(const QList<int>& rows)
{
    m_collector->setArchiveSelectedRows(rows);
}

void DeviceZFN::setArchiveSelectedOnly(bool selectedOnly)
{
    m_collector->setArchiveSelectedOnly(selectedOnly);
}

void DeviceZFN::addArchiveFramesToResults()
{
    m_collector->addArchiveFramesToResults();
}
