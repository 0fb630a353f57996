#include "DeviceZFN.h"

#include "ArchiveModel.h"
#include "ArchiveRecord.h"
#include "AsciiUail.h"
#include "CalibratorMap.h"
#include "PollController.h"
#include "PollThread.h"
#include "PortOwner.h"

#include <QDebug>
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
    if (m_archiveModel->resumePosition == 0)
        m_archiveSkipped = 0;
    if (!beginArchiveWork(&DeviceZFN::readArchiveSlot)) {
        emit archiveReadStoped();
        return;
    }
    qDebug() << "START READ ARCHIVE";
}

void DeviceZFN::stopReadArchive()
{
    stopArchiveWork();
}

void DeviceZFN::startClearArchive()
{
    m_archiveModel->resumePosition = 0;
    if (!beginArchiveWork(&DeviceZFN::clearArchiveSlot)) {
        emit archiveClearStoped();
        return;
    }
    qDebug() << "START CLEAR ARCHIVE";
}

void DeviceZFN::stopClearArchive()
{
    stopArchiveWork();
}

// A start while any worker holds the port is refused. A worker that has handed the port back may
// still be finishing its thread; the restart waits for that.
bool DeviceZFN::beginArchiveWork(void (DeviceZFN::*slot)())
{
    PollThread* archiveThread = m_poll->archiveThread;
    m_poll->stopArchiveThread();
    if (!m_portOwner->lend(archiveThread)) {
        refuseBusyPort();
        return false;
    }
    disconnect(archiveThread, &QThread::started, nullptr, nullptr);
    connect(archiveThread, &QThread::started, this, slot, Qt::DirectConnection);
    m_poll->restartArchiveThread();
    return true;
}

// The loop reports its own end as it leaves, so a stop only waits for that.
void DeviceZFN::stopArchiveWork()
{
    if (m_poll->isArchiveRunning())
        m_poll->stopArchiveThread();
}

void DeviceZFN::readArchiveSlot()
{
    ArchiveStep end = ArchiveStep::Stopped;
    m_portOwner->serve([&] { end = runArchiveLoop(&DeviceZFN::readArchiveFrame); });
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
    ArchiveStep end = ArchiveStep::Stopped;
    m_portOwner->serve([&] { end = runArchiveLoop(&DeviceZFN::clearArchiveFrame); });
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

// Every half must come as data: a failed exchange, an empty or status reply, or halves that do not
// join into one frame's hex text stop the read, and a later read resumes at this frame.
DeviceZFN::ArchiveStep DeviceZFN::readArchiveFrame()
{
    const int position = m_archiveModel->resumePosition;
    QByteArray first;
    QByteArray second;
    if (!readArchiveHalf(halfRegister(position, 0), first) || !readArchiveHalf(halfRegister(position, 1), second))
        return archiveExchangeFailed();
    if (!takeArchiveFrame(first + second, position)) {
        reportArchiveNoAnswer();
        return ArchiveStep::Stopped;
    }
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

// The archive's own time-out goes with each of its exchanges, so no other job sees it.
bool DeviceZFN::archiveExchange(const QByteArray& text, QByteArray& reply)
{
    if (m_poll->archiveThread->isStopRequested() || !exchangeCommand(text, m_poll->archiveTimeoutMs))
        return false;
    reply = m_lastReply;
    return true;
}

bool DeviceZFN::readArchiveHalf(int reg, QByteArray& text)
{
    const QByteArray request = commandText(CalibratorMap::CmdReadRegisters, {reg, RegTypeArchive, ArchiveHalfCount});
    return archiveExchange(request, text) && AsciiUail::isDataPackage(text);
}

// Only the acknowledgement "$0" counts as written.
bool DeviceZFN::writeArchiveHalf(int reg, const QByteArray& text)
{
    const QByteArray request = commandText(CalibratorMap::CmdWriteRegisters, {reg, RegTypeArchive, ArchiveHalfCount})
                               + ';' + text;
    QByteArray reply;
    return archiveExchange(request, reply) && AsciiUail::isOkAnswer(reply);
}

// False when the joined halves are not one frame's hex text. A frame that fails its own checks
// (check value, unit code) is skipped and counted; a cleared frame is neither.
bool DeviceZFN::takeArchiveFrame(const QByteArray& text, int position)
{
    quint8 frame[ArchiveFrameBytes];
    if (text.size() != 2 * halfTextSize || AsciiUail::hexPairsToBytes(frame, text, ArchiveFrameBytes) != ArchiveFrameBytes)
        return false;
    const ArchiveRecord record(frame, quint32(position));
    if (record.isValid())
        m_archiveModel->append(record);
    else if (record.unitCode() != ArchiveRecord::clearedUnitCode)
        ++m_archiveSkipped;
    return true;
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
    qDebug().noquote() << "ARCHIVATION STOPED " + QString::number(m_archiveModel->resumePosition);
    QThread::currentThread()->quit();
}
