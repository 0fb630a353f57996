#include "DeviceZFN.h"

#include "ArchiveModel.h"
#include "ArchiveRecord.h"
#include "AsciiUail.h"
#include "CalibratorMap.h"
#include "PollController.h"
#include "PollThread.h"

#include <QDebug>
#include <QSerialPort>
#include <QThread>

namespace {

using CalibratorMap::ArchiveFrameBytes;
using CalibratorMap::ArchiveFrameCount;
using CalibratorMap::ArchiveHalfCount;
using CalibratorMap::ArchiveHalfStride;
using CalibratorMap::RegTypeArchive;

constexpr int halfTextSize = 2 * ArchiveHalfStride;

// The empty frame: unit code 0xAA, zeros, and the check value 0x0167 of the bytes before it.
const QByteArray clearedFirstHalf = "AA" + QByteArray(halfTextSize - 2, '0');
const QByteArray clearedSecondHalf = QByteArray(halfTextSize - 4, '0') + "6701";

int halfRegister(int position, int half)
{
    return position * ArchiveFrameBytes + half * ArchiveHalfStride;
}

}  // namespace

void DeviceZFN::startReadArchive()
{
    if (!archivePortFree()) {
        emit archiveReadStoped();
        return;
    }
    if (m_archiveModel->resumePosition == 0)
        m_archiveSkipped = 0;
    beginArchiveWork(&DeviceZFN::readArchiveSlot);
    qDebug() << "START READ ARCHIVE";
}

void DeviceZFN::stopReadArchive()
{
    stopArchiveWork();
}

void DeviceZFN::startClearArchive()
{
    if (!archivePortFree()) {
        emit archiveClearStoped();
        return;
    }
    m_archiveModel->resumePosition = 0;
    beginArchiveWork(&DeviceZFN::clearArchiveSlot);
    qDebug() << "START CLEAR ARCHIVE";
}

void DeviceZFN::stopClearArchive()
{
    stopArchiveWork();
}

// A start while any worker holds the port is refused. A worker that has handed the port back may
// still be finishing its thread; the restart waits for that.
bool DeviceZFN::archivePortFree()
{
    if (!isPortHome()) {
        qDebug() << "DeviceZFN::startArchive::port busy";
        return false;
    }
    return true;
}

void DeviceZFN::beginArchiveWork(void (DeviceZFN::*slot)())
{
    m_exchangeTimeoutMs = m_poll->archiveTimeoutMs;
    PollThread* archiveThread = m_poll->archiveThread;
    disconnect(archiveThread, &QThread::started, nullptr, nullptr);
    connect(archiveThread, &QThread::started, this, slot, Qt::DirectConnection);
    m_poll->stopArchiveThread();
    m_port->moveToThread(archiveThread);
    m_poll->restartArchiveThread();
}

// The loop reports its own end as it leaves, so a stop only waits for that.
void DeviceZFN::stopArchiveWork()
{
    if (m_poll->isArchiveRunning())
        m_poll->stopArchiveThread();
}

void DeviceZFN::readArchiveSlot()
{
    const ArchiveStep end = runArchiveLoop(&DeviceZFN::readArchiveFrame);
    if (m_archiveSkipped > 0)
        qDebug() << "DeviceZFN::readArchive::SKIPPED" << int(m_archiveSkipped);
    leaveArchiveThread();
    if (end == ArchiveStep::Finished)
        emit archiveReadFinished();
    else
        emit archiveReadStoped();
}

// However clearing ends, the next clear starts from the first frame again.
void DeviceZFN::clearArchiveSlot()
{
    const ArchiveStep end = runArchiveLoop(&DeviceZFN::clearArchiveFrame);
    m_archiveModel->resumePosition = 0;
    leaveArchiveThread();
    if (end == ArchiveStep::Finished)
        emit archiveClearFinished();
    else
        emit archiveClearStoped();
}

DeviceZFN::ArchiveStep DeviceZFN::runArchiveLoop(ArchiveStep (DeviceZFN::*step)())
{
    const PollThread* archiveThread = m_poll->archiveThread;
    for (;;) {
        if (archiveThread->isStopRequested())
            return ArchiveStep::Stopped;
        if (!m_connected) {
            reportArchiveNoAnswer();
            return ArchiveStep::Stopped;
        }
        const ArchiveStep result = (this->*step)();
        if (result != ArchiveStep::Next)
            return result;
        pauseUnlessStopped(archiveThread, m_poll->archivePauseMs);
    }
}

DeviceZFN::ArchiveStep DeviceZFN::readArchiveFrame()
{
    const int position = m_archiveModel->resumePosition;
    QByteArray first;
    QByteArray second;
    if (!readArchiveHalf(halfRegister(position, 0), first) || !readArchiveHalf(halfRegister(position, 1), second))
        return archiveExchangeFailed();
    takeArchiveFrame(first, second, position);
    return advanceArchive(position);
}

DeviceZFN::ArchiveStep DeviceZFN::clearArchiveFrame()
{
    const int position = m_archiveModel->resumePosition;
    if (!writeArchiveHalf(halfRegister(position, 0), clearedFirstHalf)
        || !writeArchiveHalf(halfRegister(position, 1), clearedSecondHalf))
        return archiveExchangeFailed();
    return advanceArchive(position);
}

bool DeviceZFN::readArchiveHalf(int reg, QByteArray& text)
{
    return !m_poll->archiveThread->isStopRequested() && readRegisters(text, reg, RegTypeArchive, ArchiveHalfCount);
}

// Only the acknowledgement "$0" counts as written.
bool DeviceZFN::writeArchiveHalf(int reg, const QByteArray& text)
{
    QByteArray reply;
    return !m_poll->archiveThread->isStopRequested()
           && writeRegisters(reply, reg, RegTypeArchive, ArchiveHalfCount, text) && AsciiUail::isOkAnswer(reply);
}

// A half that is not 64 hex digits (a status reply among them) or a frame that fails its checks is
// skipped, so one damaged frame does not end the read.
void DeviceZFN::takeArchiveFrame(const QByteArray& first, const QByteArray& second, int position)
{
    quint8 frame[ArchiveFrameBytes];
    const bool complete = first.size() == halfTextSize && second.size() == halfTextSize
                          && AsciiUail::hexPairsToBytes(frame, first + second, ArchiveFrameBytes) == ArchiveFrameBytes;
    if (!complete) {
        ++m_archiveSkipped;
        return;
    }
    const ArchiveRecord record(frame, quint32(position));
    if (record.isValid())
        m_archiveModel->append(record);
    else if (record.unitCode() != ArchiveRecord::clearedUnitCode)
        ++m_archiveSkipped;
}

DeviceZFN::ArchiveStep DeviceZFN::advanceArchive(int position)
{
    emit sendProgress(position * 100 / ArchiveFrameCount);
    if (position + 1 >= ArchiveFrameCount) {
        m_archiveModel->resumePosition = 0;
        return ArchiveStep::Finished;
    }
    m_archiveModel->resumePosition = position + 1;
    return ArchiveStep::Next;
}

// A failed exchange keeps the position, so a later read retries the same frame. A stop or cancel
// that cut the exchange short is no failure of the calibrator.
DeviceZFN::ArchiveStep DeviceZFN::archiveExchangeFailed()
{
    if (!m_poll->archiveThread->isStopRequested() && m_lastStatus != ExchangeStatus::Aborted)
        reportArchiveNoAnswer();
    return ArchiveStep::Stopped;
}

void DeviceZFN::reportArchiveNoAnswer()
{
    emit showPopUpMessageSignal(m_deviceName + tr(" не отвечает!"));
}

void DeviceZFN::leaveArchiveThread()
{
    m_exchangeTimeoutMs = m_poll->exchangeTimeoutMs;
    m_port->moveToThread(thread());
    qDebug().noquote() << "ARCHIVATION STOPED " + QString::number(m_archiveModel->resumePosition);
    QThread::currentThread()->quit();
}
