#include "CalibratorLink.h"

#include "AsciiUail.h"
#include "CalibratorMap.h"

#include <QIODevice>
#include <QSerialPort>
#include <QThread>

namespace {
constexpr int silentTriesAllowed = 2;
constexpr int identifyPieceLimit = 101;
}  // namespace

CalibratorLink::CalibratorLink(QIODevice* io, const std::atomic<bool>* abortFlag) : m_io(io), m_abort(abortFlag) {}

void CalibratorLink::debug(const QString& event, const QByteArray& detail) const
{
    if (m_debug)
        m_debug(event, detail);
}

bool CalibratorLink::open()
{
    close();
    return m_io->open(QIODevice::ReadWrite);
}

void CalibratorLink::close()
{
    if (m_io->isOpen())
        m_io->close();
}

// Waits in short slices so that an abort ends a wait promptly.
bool CalibratorLink::waitForInput(int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    while (!aborted() && m_io->isOpen()) {
        if (m_io->bytesAvailable() > 0)
            return true;
        const int left = timeoutMs - int(timer.elapsed());
        if (left <= 0)
            return false;
        if (m_io->waitForReadyRead(qMin(left, m_timing.sliceMs)))
            return true;
        if (lineFailed())
            return false;
    }
    return false;
}

// A line whose far end has closed fails every wait at once; only the port's error tells that from
// a wait that ran out. Opening the port clears the error.
bool CalibratorLink::lineFailed() const
{
    const auto* port = qobject_cast<const QSerialPort*>(m_io);
    return port && port->error() != QSerialPort::NoError && port->error() != QSerialPort::TimeoutError;
}

// Some devices fill their buffer only when polled; waitForReadyRead(0) pulls in what has arrived.
// The pull stops at the buffer limit, so a babbling line cannot keep it going.
QByteArray CalibratorLink::takeAvailable()
{
    QByteArray bytes = m_io->readAll();
    while (bytes.size() < bufferLimit && m_io->isOpen() && m_io->waitForReadyRead(0))
        bytes += m_io->readAll();
    return bytes;
}

void CalibratorLink::append(const QByteArray& bytes)
{
    m_buffer += bytes;
    if (m_buffer.size() > bufferLimit)
        m_buffer.remove(0, m_buffer.size() - bufferLimit);
}

// A reply counts as complete only when it passes the frame checks: a piece may end in the carriage
// return of the echoed request, which is not the end of the reply.
bool CalibratorLink::isComplete() const
{
    if (m_buffer.size() <= 5 || !m_buffer.endsWith('\r'))
        return false;
    QByteArray trial = m_buffer;
    return AsciiUail::unpackPackage(trial, m_address);
}

// After a cut exchange the calibrator may still be answering it; that reply must not be taken as
// the answer to the next request. The line is drained until the late frame is whole (one request
// was cut, so one reply can come) or until it stays quiet. The calibrator may begin that reply as
// late as the cut exchange's own time-out (a HART pass-through waits for the transmitter), so the
// first byte is awaited that long; the bytes the cut exchange had already read stay in front:
// without them the rest of its reply would never look whole.
void CalibratorLink::dropLateReply(int timeoutMs)
{
    if (!m_cutPending)
        return;
    m_cutPending = false;
    if (m_sinceCut.elapsed() > m_cutTimeoutMs)
        return;
    QElapsedTimer timer;
    timer.start();
    int waitMs = qMax(m_timing.quietMs, m_cutTimeoutMs - int(m_sinceCut.elapsed()));
    while (timer.elapsed() < timeoutMs && waitForInput(qMin(waitMs, timeoutMs - int(timer.elapsed())))) {
        append(takeAvailable());
        if (isComplete())
            break;
        waitMs = m_timing.quietMs;
    }
    debug(QStringLiteral("LATE"), m_buffer);
}

void CalibratorLink::noteCut(int timeoutMs)
{
    m_cutPending = true;
    m_cutTimeoutMs = timeoutMs;
    m_sinceCut.start();
}

// The wait for the bytes to leave is sliced like the read waits, so a stalled line does not hold
// off an abort.
bool CalibratorLink::write(const QByteArray& bytes, int timeoutMs)
{
    takeAvailable();
    m_buffer.clear();
    m_io->write(bytes);
    debug(QStringLiteral("WRITE"), bytes);
    QElapsedTimer timer;
    timer.start();
    while (m_io->bytesToWrite() > 0) {
        const int left = timeoutMs - int(timer.elapsed());
        if (left <= 0 || aborted() || (!m_io->waitForBytesWritten(qMin(left, m_timing.sliceMs)) && lineFailed()))
            return false;
    }
    return true;
}

// Collects one reply. A try ends at its time-out counted from the first byte, so a line that keeps
// sending bytes fails like a silent one.
CalibratorLink::Try CalibratorLink::collect(int timeoutMs)
{
    if (!waitForInput(timeoutMs)) {
        if (aborted())
            return Try::Aborted;
        debug(QStringLiteral("TIMEOUT"), m_io->errorString().toLatin1());
        return Try::Silent;
    }
    QElapsedTimer timer;
    timer.start();
    bool secondChanceUsed = false;
    for (;;) {
        append(takeAvailable());
        if (isComplete())
            return Try::Reply;
        const int left = timeoutMs - int(timer.elapsed());
        if (left <= 0)
            return Try::Silent;
        if (waitForInput(qMin(left, m_timing.pieceWaitMs)))
            continue;
        if (aborted())
            return Try::Aborted;
        // One second chance: late bytes may complete a frame that failed the check.
        if (secondChanceUsed || !waitForInput(qMin(left, m_timing.secondChanceMs)))
            return aborted() ? Try::Aborted : Try::Garbled;
        secondChanceUsed = true;
    }
}

CalibratorLink::Try CalibratorLink::runTry(const QByteArray& request, int timeoutMs)
{
    if (!write(request, timeoutMs)) {
        debug(QStringLiteral("WRITE ERROR"), m_io->errorString().toLatin1());
        return aborted() ? Try::Aborted : Try::WriteFailed;
    }
    const Try result = collect(timeoutMs);
    debug(QStringLiteral("READ"), m_buffer);
    return result;
}

CalibratorLink::Status CalibratorLink::command(const QByteArray& text, int timeoutMs)
{
    return exchange(AsciiUail::makePackage(QString::fromLatin1(text), m_address), timeoutMs);
}

QByteArray CalibratorLink::commandText(int command, std::initializer_list<int> fields)
{
    QByteArray text = QByteArray::number(command);
    for (const int field : fields)
        if (field != -1)
            text += ';' + QByteArray::number(field);
    return text;
}

QByteArray CalibratorLink::registerWriteText(int reg, int type, int count, const QByteArray& data)
{
    return commandText(CalibratorMap::CmdWriteRegisters, {reg, type, count}) + ';'
           + QByteArray(data.constData(), int(qstrnlen(data.constData(), uint(data.size()))));
}

bool CalibratorLink::writeRegister(int reg, int type, int count, const QByteArray& data, int timeoutMs)
{
    return command(registerWriteText(reg, type, count, data), timeoutMs) == Status::Ok
           && AsciiUail::isOkAnswer(m_reply);
}

// The first attempt of an exchange logs whether the calling thread holds the port and whether it
// opened.
bool CalibratorLink::openForAttempt(int attempt)
{
    if (m_io->isOpen())
        return true;
    const bool opened = open();
    if (attempt == 1)
        debug(QStringLiteral("CKECK"), QByteArray(m_io->thread() == QThread::currentThread() ? "true" : "false") + ' '
                                           + (opened ? "true" : "false"));
    if (!opened)
        debug(QStringLiteral("OPEN ERROR"), m_io->errorString().toLatin1());
    return opened;
}

CalibratorLink::Status CalibratorLink::exchange(const QByteArray& request, int timeoutMs)
{
    m_reply.clear();
    close();
    int attempts = 0;
    int silentTries = 0;
    Try result = Try::Silent;
    bool drained = false;
    while (result != Try::Reply && attempts <= m_retryLimit && !aborted()) {
        ++attempts;
        if (!openForAttempt(attempts))
            continue;
        if (aborted())
            break;
        if (!drained) {
            dropLateReply(timeoutMs);
            drained = true;
        }
        result = runTry(request, timeoutMs);
        if (result == Try::Aborted || (result == Try::Silent && ++silentTries > silentTriesAllowed))
            break;
        // A request that does not leave gets one further attempt, not the whole round of retries.
        if (result == Try::WriteFailed)
            attempts = qMax(attempts, m_retryLimit);
        if (result == Try::Garbled)
            debug(QStringLiteral("READ WRONG PACKAGE"), m_buffer);
    }
    close();

    if (result == Try::Reply) {
        m_reply = m_buffer;
        AsciiUail::unpackPackage(m_reply, m_address);
        m_lastStatus = Status::Ok;
    } else {
        m_lastStatus = aborted() ? Status::Aborted : Status::NoAnswer;
        noteCut(timeoutMs);
        debug(QStringLiteral("ERROR"), m_io->errorString().toLatin1());
    }
    debug(QStringLiteral("RESULT"), m_lastStatus == Status::Ok ? "true" : "false");
    return m_lastStatus;
}

CalibratorLink::Identify CalibratorLink::identify(const QByteArray& request, int writeTimeoutMs)
{
    m_reply.clear();
    dropLateReply(m_timing.identifyTimeoutMs);
    if (!write(request, writeTimeoutMs))
        return Identify::WriteFailed;
    if (!waitForInput(m_timing.identifyTimeoutMs)) {
        if (!aborted())
            return Identify::Silent;
        noteCut(m_timing.identifyTimeoutMs);
        return Identify::Aborted;
    }
    append(takeAvailable());
    for (int piece = 0; piece < identifyPieceLimit && waitForInput(m_timing.identifySilenceMs); ++piece)
        append(takeAvailable());
    m_reply = m_buffer;
    return Identify::Reply;
}

bool CalibratorLink::sendWithoutReply(const QByteArray& frame, int writeTimeoutMs)
{
    if (!open())
        return false;
    m_io->write(frame);
    m_io->waitForBytesWritten(writeTimeoutMs);
    QThread::msleep(ulong(m_timing.releaseSettleMs));
    close();
    return true;
}
