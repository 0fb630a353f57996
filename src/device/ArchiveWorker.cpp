#include "ArchiveWorker.h"

#include "ArchiveModel.h"
#include "ArchiveRecord.h"
#include "AsciiUail.h"
#include "CalibratorLink.h"
#include "CalibratorMap.h"
#include "PollController.h"
#include "PollThread.h"
#include "PortOwner.h"

#include <QDebug>

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

QByteArray readHalfCommand(int reg)
{
    return CalibratorLink::commandText(CalibratorMap::CmdReadRegisters, {reg, RegTypeArchive, ArchiveHalfCount});
}

}  // namespace

ArchiveWorker::ArchiveWorker(CalibratorLink& link, PortOwner& owner, PollController& work, ArchiveModel& model,
                             const std::atomic<bool>& connected)
    : m_link(link), m_owner(owner), m_work(work), m_model(model), m_connected(connected)
{
}

ArchiveWorker::Start ArchiveWorker::startRead()
{
    if (m_running)
        return Start::AlreadyRunning;
    if (m_model.resumePosition == 0)
        m_skipped = 0;
    return start(&ArchiveWorker::readSlot, "START READ ARCHIVE");
}

ArchiveWorker::Start ArchiveWorker::startClear()
{
    if (m_running)
        return Start::AlreadyRunning;
    m_model.resumePosition = 0;
    return start(&ArchiveWorker::clearSlot, "START CLEAR ARCHIVE");
}

// A worker that has handed the port back may still be finishing its thread; the restart waits for it.
ArchiveWorker::Start ArchiveWorker::start(void (ArchiveWorker::*slot)(), const char* logLine)
{
    PollThread* thread = m_work.archiveThread;
    m_work.stopArchiveThread();
    if (!m_owner.lend(thread))
        return Start::PortBusy;
    m_running = true;
    qDebug() << logLine;
    disconnect(thread, &QThread::started, nullptr, nullptr);
    connect(thread, &QThread::started, this, slot, Qt::DirectConnection);
    m_work.restartArchiveThread();
    return Start::Started;
}

void ArchiveWorker::stop()
{
    if (m_work.isArchiveRunning())
        m_work.stopArchiveThread();
}

void ArchiveWorker::readSlot()
{
    Step end = Step::Stopped;
    m_owner.serve([&] { end = runLoop(&ArchiveWorker::readFrame); });
    if (m_skipped > 0)
        qDebug() << "DeviceZFN::readArchive::SKIPPED" << int(m_skipped);
    leaveThread();
    m_running = false;
    if (end == Step::Finished)
        emit readFinished();
    else
        emit readStopped();
}

// However clearing ends, the next clear starts from the first frame again; the log tells where
// it stopped.
void ArchiveWorker::clearSlot()
{
    Step end = Step::Stopped;
    m_owner.serve([&] { end = runLoop(&ArchiveWorker::clearFrame); });
    leaveThread();
    m_model.resumePosition = 0;
    m_running = false;
    if (end == Step::Finished)
        emit clearFinished();
    else
        emit clearStopped();
}

ArchiveWorker::Step ArchiveWorker::runLoop(Step (ArchiveWorker::*step)())
{
    const PollThread* thread = m_work.archiveThread;
    for (;;) {
        if (thread->isStopRequested())
            return Step::Stopped;
        if (!m_connected) {
            emit noAnswer();
            return Step::Stopped;
        }
        const Step result = (this->*step)();
        if (result != Step::Next)
            return result;
        thread->pauseUnlessStopped(m_work.archivePauseMs);
    }
}

// Every half must come as data: a failed exchange, an empty or status reply, or halves that do not
// join into one frame's hex text stop the read, and a later read resumes at this frame.
ArchiveWorker::Step ArchiveWorker::readFrame()
{
    const int position = m_model.resumePosition;
    QByteArray first;
    QByteArray second;
    if (!readHalf(halfRegister(position, 0), first) || !readHalf(halfRegister(position, 1), second))
        return exchangeFailed();
    if (!takeFrame(first + second, position)) {
        emit noAnswer();
        return Step::Stopped;
    }
    return advance(position);
}

ArchiveWorker::Step ArchiveWorker::clearFrame()
{
    const int position = m_model.resumePosition;
    if (!writeHalf(halfRegister(position, 0), clearedFirstHalf) || !writeHalf(halfRegister(position, 1), clearedSecondHalf))
        return exchangeFailed();
    return advance(position);
}

bool ArchiveWorker::exchange(const QByteArray& text, QByteArray& reply)
{
    if (m_work.archiveThread->isStopRequested()
        || m_link.command(text, m_work.archiveTimeoutMs) != CalibratorLink::Status::Ok)
        return false;
    reply = m_link.reply();
    return true;
}

bool ArchiveWorker::readHalf(int reg, QByteArray& text)
{
    return exchange(readHalfCommand(reg), text) && AsciiUail::isDataPackage(text);
}

// Only the acknowledgement "$0" counts as written.
bool ArchiveWorker::writeHalf(int reg, const QByteArray& text)
{
    return !m_work.archiveThread->isStopRequested()
           && m_link.writeRegister(reg, RegTypeArchive, ArchiveHalfCount, text, m_work.archiveTimeoutMs);
}

// False when the joined halves are not one frame's hex text. A frame that fails its own checks
// (check value, unit code) is skipped and counted; a cleared frame is neither.
bool ArchiveWorker::takeFrame(const QByteArray& text, int position)
{
    quint8 frame[ArchiveFrameBytes];
    if (text.size() != 2 * halfTextSize || AsciiUail::hexPairsToBytes(frame, text, ArchiveFrameBytes) != ArchiveFrameBytes)
        return false;
    const ArchiveRecord record(frame, quint32(position));
    if (record.isValid())
        m_model.append(record);
    else if (record.unitCode() != ArchiveRecord::clearedUnitCode)
        ++m_skipped;
    return true;
}

ArchiveWorker::Step ArchiveWorker::advance(int position)
{
    emit progress(position * 100 / ArchiveFrameCount);
    if (position + 1 >= ArchiveFrameCount) {
        m_model.resumePosition = 0;
        return Step::Finished;
    }
    m_model.resumePosition = position + 1;
    return Step::Next;
}

// A failed exchange keeps the position, so a later read retries the same frame. A stop or cancel
// that cut the exchange short is no failure of the calibrator.
ArchiveWorker::Step ArchiveWorker::exchangeFailed()
{
    if (!m_owner.isAborted())
        emit noAnswer();
    return Step::Stopped;
}

void ArchiveWorker::leaveThread()
{
    qDebug().noquote() << "ARCHIVATION STOPED " + QString::number(m_model.resumePosition);
    QThread::currentThread()->quit();
}
