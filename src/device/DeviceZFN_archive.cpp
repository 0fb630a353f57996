#include "DeviceZFN.h"

#include "ArchiveWorker.h"

void DeviceZFN::startReadArchive()
{
    if (m_archive->startRead() == ArchiveWorker::Start::PortBusy) {
        refuseBusyPort();
        emit archiveReadStoped();
    }
}

void DeviceZFN::stopReadArchive()
{
    m_archive->stop();
}

void DeviceZFN::startClearArchive()
{
    if (m_archive->startClear() == ArchiveWorker::Start::PortBusy) {
        refuseBusyPort();
        emit archiveClearStoped();
    }
}

void DeviceZFN::stopClearArchive()
{
    m_archive->stop();
}

int DeviceZFN::archiveSkippedCount() const
{
    return m_archive->skippedCount();
}
