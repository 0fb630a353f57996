#include "CalibratorLink.h"

#include "AsciiUail.h"
#include "CalibratorMap.h"
#include "ReplyFrame.h"

#include <QIODevice>
#include <QSerialPort>
#include <QThread>

namespace {
constexpr int silentTriesAllowed = 2;
}  // namespace

CalibratorLink::CalibratorLink(QIODevice* io, const std::atomic<bool>* abortFlag) : m_io(io), m_abort(abortFlag) {}

void CalibratorLink::debug(const QString& event, const QByteArray& detail) const
{
    if (m_debug)
        m_debug(event, detail);
}

bool CalibratorLink::open()
{
    if (m_io->isOpen())
        return true;
    m_buffer.clear();
    m_sinceSlice.start();
    const bool opened = m_io->open(QIODevice::ReadWrite);
    debug(QStringLiteral("OPEN"), portKey().toLatin1() + ' ' + (opened ? "true" : "false"));
    return opened;
}

// What arrives while the port is closed is lost, as on a real serial port; the replies it owes are
// still owed.
void CalibratorLink::close()
{
    m_buffer.clear();
    if (!m_io->isOpen())
        return;
    m_io->close();
    debug(QStringLiteral("CLOSE"), portKey().toLatin1());
}

// Waits in short slices so that an abort ends a wait promptly.
bool CalibratorLink::waitForInput(int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    while (!aborted() && m_io->isOpen()) {
        if (m_io->bytesAvailable() > 0)
            return inputArrived();
        const int left = timeoutMs - int(timer.elapsed());
        if (left <= 0)
            return false;
        if (m_io->waitForReadyRead(qMin(left, m_timing.sliceMs)))
            return inputArrived();
        if (lineFailed())
            return false;
        sliceDone();
    }
    return false;
}

// A line that keeps sending bytes ends every wait early, so the slices it cuts short still count:
// the observer is told once a slice's time has passed, whatever arrived meanwhile.
bool CalibratorLink::inputArrived()
{
    if (m_sinceSlice.isValid() && m_sinceSlice.elapsed() >= m_timing.sliceMs)
        sliceDone();
    return true;
}

void CalibratorLink::waitBegins()
{
    if (m_waitObserver)
        m_waitObserver->exchangeStarted();
    m_sinceSlice.start();
}

void CalibratorLink::waitEnds()
{
    if (m_waitObserver)
        m_waitObserver->exchangeEnded();
}

void CalibratorLink::sliceDone()
{
    m_sinceSlice.start();
    if (m_waitObserver)
        m_waitObserver->waitSlice();
}

// A line whose far end has closed fails every wait at once; only the port's error tells that from
// a wait that ran out. Opening the port clears the error.
bool CalibratorLink::lineFailed() const
{
    const auto* port = qobject_cast<const QSerialPort*>(m_io);
    return port && port->error() != QSerialPort::NoError && port->error() != QSerialPort::TimeoutError;
}

// Some devices fill their buffer only when polled; waitForReadyRead(0) pulls in what has arrived,
// however much it is. A line that keeps sending bytes is read for one slice at most.
QByteArray CalibratorLink::takeAvailable()
{
    QElapsedTimer timer;
    timer.start();
    QByteArray bytes = m_io->readAll();
    while (m_io->isOpen() && timer.elapsed() < m_timing.sliceMs && m_io->waitForReadyRead(0))
        bytes += m_io->readAll();
    return bytes;
}

void CalibratorLink::append(const QByteArray& bytes)
{
    m_buffer += bytes;
}

void CalibratorLink::trim()
{
    if (m_buffer.size() > bufferLimit)
        m_buffer.remove(0, m_buffer.size() - bufferLimit);
}

// The reply is the first frame after the request: a complete one passes the frame checks.
bool CalibratorLink::isComplete() const
{
    const ReplyFrame frame = ReplyFrame::first(m_buffer);
    if (!frame.isWhole())
        return false;
    QByteArray trial = frame.of(m_buffer);
    return AsciiUail::unpackPackage(trial, m_address);
}

// A QIODevice other than a serial port is one line of its own.
QString CalibratorLink::portKey() const
{
    const auto* port = qobject_cast<const QSerialPort*>(m_io);
    return port ? port->portName() : QString();
}

QList<CalibratorLink::OwedReply>& CalibratorLink::owed()
{
    return m_owed[portKey()];
}

int CalibratorLink::owedCount() const
{
    return m_owed.value(portKey()).size();
}

// The calibrator answers one request after another and its frames name no request: each whole frame
// is the reply of the oldest request still owed, whether or not its checks pass.
void CalibratorLink::passWholeFrames()
{
    for (ReplyFrame frame = ReplyFrame::first(m_buffer); frame.isWhole(); frame = ReplyFrame::first(m_buffer)) {
        debug(QStringLiteral("LATE"), frame.of(m_buffer));
        m_buffer.remove(0, frame.end() + 1);
        if (!owed().isEmpty())
            owed().removeFirst();
    }
}

// A reply later than its request's time-out is not waited for: the time-out is the calibrator's
// contract. Only the oldest may be dropped, since the calibrator turns to the next request only
// after it.
void CalibratorLink::dropExpired()
{
    QList<OwedReply>& list = owed();
    while (!list.isEmpty() && list.first().leftMs() <= 0)
        list.removeFirst();
}

// The line is half duplex: nothing is written while a reply may still come. Waits until every reply
// the port owes has come or passed its deadline. A line that fails leaves them owed: the port is
// opened again and they are awaited there.
CalibratorLink::Owed CalibratorLink::letOwedRepliesPass()
{
    bool told = false;
    for (;;) {
        append(takeAvailable());
        passWholeFrames();
        trim();
        dropExpired();
        if (aborted())
            return Owed::Aborted;
        if (lineFailed())
            return Owed::LineFailed;
        if (owed().isEmpty())
            return Owed::Passed;
        if (!told)
            debug(QStringLiteral("OWED"), QByteArray::number(owed().size()));
        told = true;
        waitForInput(int(owed().first().leftMs()));
    }
}

void CalibratorLink::owe(int timeoutMs)
{
    OwedReply reply;
    reply.sinceSent.start();
    reply.deadlineMs = timeoutMs;
    owed().append(reply);
}

// A try that ends with a frame has had its reply; one that ran out has passed its deadline; one cut
// or given up on bytes that make no frame still owes it, with what has come kept for the next wait.
// A frame is the reply of the oldest request owed, always.
void CalibratorLink::settleOwn(Try result)
{
    const bool frameCame = result == Try::Reply || ReplyFrame::first(m_buffer).isWhole();
    if (frameCame && !owed().isEmpty())
        owed().removeFirst();
    dropExpired();
}

// Once bytes are handed to the port the request may reach the calibrator, so it owes its reply,
// until owedMs after it left. A line that has failed takes nothing.
bool CalibratorLink::handOver(const QByteArray& bytes, int owedMs)
{
    if (lineFailed())
        return false;
    takeAvailable();
    m_buffer.clear();
    const bool handed = m_io->write(bytes) > 0;
    debug(QStringLiteral("WRITE"), bytes);
    if (handed)
        owe(owedMs);
    return handed;
}

// The wait for the bytes to leave is sliced like the read waits, so a stalled line does not hold
// off an abort. Bytes the line refused never reached the calibrator: they owe nothing.
bool CalibratorLink::write(const QByteArray& bytes, int timeoutMs, int owedMs)
{
    if (!handOver(bytes, owedMs))
        return false;
    QElapsedTimer timer;
    timer.start();
    while (m_io->bytesToWrite() > 0) {
        const int left = timeoutMs - int(timer.elapsed());
        if (left <= 0 || aborted())
            return false;
        if (!m_io->waitForBytesWritten(qMin(left, m_timing.sliceMs)) && lineFailed()) {
            owed().removeLast();
            return false;
        }
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
        trim();
        if (isComplete())
            return Try::Reply;
        const int left = timeoutMs - int(timer.elapsed());
        if (left <= 0)
            return Try::Silent;
        if (waitForInput(qMin(left, m_timing.pieceWaitMs)))
            continue;
        if (aborted())
            return Try::Cut;
        // One second chance: late bytes may complete a frame that is not whole yet. A try whose
        // time-out ran out in a gap of the line's bytes was silent, like one that saw none.
        if (secondChanceUsed || !waitForInput(qMin(left, m_timing.secondChanceMs))) {
            if (aborted())
                return Try::Cut;
            return timer.elapsed() >= timeoutMs ? Try::Silent : Try::Garbled;
        }
        secondChanceUsed = true;
    }
}

// The identify reply's sender is not known yet, so it ends at a silence after a whole frame, not at
// the frame checks. Until a frame is whole (an echo may come at once and the reply long after it, a
// loaded machine may deliver a frame in pieces far apart) it is awaited up to the time-out, counted
// from the write, however the line babbles.
CalibratorLink::Try CalibratorLink::collectUntilSilence(const QElapsedTimer& sinceWrite, int timeoutMs)
{
    for (;;) {
        const int leftMs = timeoutMs - int(sinceWrite.elapsed());
        const bool whole = ReplyFrame::first(m_buffer).isWhole();
        const int waitMs = whole ? qMin(leftMs, m_timing.identifySilenceMs) : leftMs;
        if (waitMs <= 0 || !waitForInput(waitMs))
            break;
        append(takeAvailable());
        trim();
    }
    if (aborted())
        return Try::Cut;
    return m_buffer.isEmpty() ? Try::Silent : Try::Reply;
}

CalibratorLink::Try CalibratorLink::runTry(const QByteArray& request, int timeoutMs)
{
    if (!write(request, timeoutMs, timeoutMs)) {
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

// The port normally stays open for the session; it is opened again only when it is not, or when the
// line failed (a cable pulled and put back). The first attempt logs whether the calling thread holds
// the port and whether it is open.
bool CalibratorLink::openForAttempt(int attempt)
{
    if (lineFailed())
        close();
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
    waitBegins();
    m_reply.clear();
    int attempts = 0;
    int silentTries = 0;
    Try result = Try::Silent;
    while (result != Try::Reply && attempts <= m_retryLimit && !aborted()) {
        ++attempts;
        if (!openForAttempt(attempts))
            continue;
        const Owed owed = letOwedRepliesPass();
        result = owed == Owed::Passed ? runTry(request, timeoutMs)
                 : owed == Owed::Aborted ? Try::Aborted : Try::WriteFailed;
        settleOwn(result);
        if (result == Try::Aborted || result == Try::Cut || (result == Try::Silent && ++silentTries > silentTriesAllowed))
            break;
        // A request that does not leave gets one further attempt, not the whole round of retries.
        if (result == Try::WriteFailed)
            attempts = qMax(attempts, m_retryLimit);
        if (result == Try::Garbled)
            debug(QStringLiteral("READ WRONG PACKAGE"), m_buffer);
    }

    if (result == Try::Reply) {
        const ReplyFrame frame = ReplyFrame::first(m_buffer);
        m_reply = frame.of(m_buffer);
        m_buffer.remove(0, frame.end() + 1);
        AsciiUail::unpackPackage(m_reply, m_address);
        m_lastStatus = Status::Ok;
    } else {
        m_lastStatus = aborted() ? Status::Aborted : Status::NoAnswer;
        debug(QStringLiteral("ERROR"), portKey().toLatin1() + ' ' + m_io->errorString().toLatin1());
    }
    debug(QStringLiteral("RESULT"), m_lastStatus == Status::Ok ? "true" : "false");
    waitEnds();
    return m_lastStatus;
}

CalibratorLink::Identify CalibratorLink::identify(const QByteArray& request, int writeTimeoutMs)
{
    m_reply.clear();
    m_sinceSlice.start();
    const Owed owed = letOwedRepliesPass();
    if (owed != Owed::Passed)
        return owed == Owed::Aborted ? Identify::Aborted : Identify::WriteFailed;
    QElapsedTimer sinceWrite;
    sinceWrite.start();
    if (!write(request, writeTimeoutMs, m_timing.identifyTimeoutMs))
        return aborted() ? Identify::Aborted : Identify::WriteFailed;
    const Try result = collectUntilSilence(sinceWrite, m_timing.identifyTimeoutMs);
    const ReplyFrame frame = ReplyFrame::first(m_buffer);
    // Bytes that make no frame are handed to the search to log, but the reply is still owed.
    settleOwn(result == Try::Reply && !frame.isWhole() ? Try::Garbled : result);
    if (result != Try::Reply)
        return result == Try::Cut ? Identify::Aborted : Identify::Silent;
    m_reply = frame.isWhole() ? frame.of(m_buffer) : m_buffer;
    return Identify::Reply;
}

// Whatever the release waits for when the program leaves, its frame goes at once.
bool CalibratorLink::release(const QByteArray& frame, int timeoutMs)
{
    if (!open())
        return false;
    if (aborted()) {
        sendAtOnce(frame, timeoutMs);
    } else {
        waitBegins();
        const Owed owed = letOwedRepliesPass();
        if (owed == Owed::Aborted)
            sendAtOnce(frame, timeoutMs);
        else if (owed == Owed::Passed && write(frame, timeoutMs, timeoutMs))
            letOwedRepliesPass();
        waitEnds();
    }
    close();
    return true;
}

void CalibratorLink::sendAtOnce(const QByteArray& frame, int timeoutMs)
{
    if (handOver(frame, timeoutMs))
        m_io->waitForBytesWritten(timeoutMs);
}
