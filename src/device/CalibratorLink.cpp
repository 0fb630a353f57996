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
        if (m_waitObserver)
            m_waitObserver->waitSlice();
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

// A QIODevice other than a serial port is one line of its own.
QString CalibratorLink::portKey() const
{
    const auto* port = qobject_cast<const QSerialPort*>(m_io);
    return port ? port->portName() : QString();
}

namespace {

bool isPassThrough(const QByteArray& request)
{
    const int body = request.indexOf(':');
    const int first = request.indexOf(';', body + 1);
    const int second = request.indexOf(';', first + 1);
    return body >= 0 && first > body && second > first
           && request.mid(first + 1, second - first - 1) == QByteArray::number(CalibratorMap::CmdHartPassThrough);
}

}  // namespace

// A cut exchange whose request left may still be answered, and that reply must not be taken as the
// answer to the next request on the port. The calibrator answers a pass-through only once the
// transmitter has, so its reply may begin as late as the cut exchange's own deadline; any other
// request it answers at once, so only the quiet time after the cut is left. A request that never
// left, or whose wait ran out, leaves nothing to drain.
void CalibratorLink::noteCut(const QByteArray& request, int timeoutMs)
{
    LateReply late;
    late.sinceCut.start();
    if (isPassThrough(request))
        late.passThroughWaitMs = qMax(0, timeoutMs - int(m_sinceRequestLeft.elapsed()));
    late.partial = m_buffer;
    m_lateReplies.insert(portKey(), late);
}

// Drains the port until the late frame is whole (one request was cut, so one reply can come) or its
// time has passed, whatever the next exchange's own time-out; a frame still arriving then may end.
// The bytes the cut exchange had read stay in front: without them the rest of its reply would never
// look whole. A drain that is itself cut keeps the time it had.
void CalibratorLink::drainLateReply(int timeoutMs)
{
    const auto it = m_lateReplies.find(portKey());
    if (it == m_lateReplies.end())
        return;
    LateReply& late = it.value();
    m_buffer = late.partial;
    const qint64 windowMs = late.passThroughWaitMs >= 0 ? late.passThroughWaitMs : m_timing.quietMs;
    // A line that babbles is not drained for ever.
    const qint64 limitMs = windowMs + timeoutMs;
    QElapsedTimer sincePiece;
    while (!isComplete()) {
        qint64 leftMs = windowMs - late.sinceCut.elapsed();
        if (sincePiece.isValid())
            leftMs = qMax(leftMs, m_timing.quietMs - sincePiece.elapsed());
        leftMs = qMin(leftMs, limitMs - late.sinceCut.elapsed());
        if (leftMs <= 0 || !waitForInput(int(leftMs)))
            break;
        append(takeAvailable());
        sincePiece.start();
    }
    if (aborted()) {
        late.partial = m_buffer;
        return;
    }
    debug(QStringLiteral("LATE"), m_buffer);
    m_lateReplies.erase(it);
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
            return Try::Cut;
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
            return Try::Cut;
        // One second chance: late bytes may complete a frame that failed the check.
        if (secondChanceUsed || !waitForInput(qMin(left, m_timing.secondChanceMs)))
            return aborted() ? Try::Cut : Try::Garbled;
        secondChanceUsed = true;
    }
}

CalibratorLink::Try CalibratorLink::runTry(const QByteArray& request, int timeoutMs)
{
    if (!write(request, timeoutMs)) {
        debug(QStringLiteral("WRITE ERROR"), m_io->errorString().toLatin1());
        return aborted() ? Try::Aborted : Try::WriteFailed;
    }
    m_sinceRequestLeft.start();
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
    if (m_waitObserver)
        m_waitObserver->exchangeStarted();
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
        if (!drained) {
            drainLateReply(timeoutMs);
            drained = true;
        }
        if (aborted())
            break;
        result = runTry(request, timeoutMs);
        if (result == Try::Aborted || result == Try::Cut || (result == Try::Silent && ++silentTries > silentTriesAllowed))
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
        if (result == Try::Cut)
            noteCut(request, timeoutMs);
        debug(QStringLiteral("ERROR"), m_io->errorString().toLatin1());
    }
    debug(QStringLiteral("RESULT"), m_lastStatus == Status::Ok ? "true" : "false");
    if (m_waitObserver)
        m_waitObserver->exchangeEnded();
    return m_lastStatus;
}

CalibratorLink::Identify CalibratorLink::identify(const QByteArray& request, int writeTimeoutMs)
{
    m_reply.clear();
    drainLateReply(m_timing.identifyTimeoutMs);
    if (aborted())
        return Identify::Aborted;
    if (!write(request, writeTimeoutMs))
        return aborted() ? Identify::Aborted : Identify::WriteFailed;
    if (!waitForInput(m_timing.identifyTimeoutMs)) {
        if (!aborted())
            return Identify::Silent;
        noteCut(request, m_timing.identifyTimeoutMs);
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
