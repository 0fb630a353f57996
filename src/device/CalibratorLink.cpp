#include "CalibratorLink.h"

#include "AsciiUail.h"
#include "CalibratorMap.h"

#include <QIODevice>
#include <QSerialPort>
#include <QThread>

namespace {
constexpr int silentTriesAllowed = 2;
constexpr int identifyPieceLimit = 101;
// A cut request's reply may come this many times the longest answer time its calibrator has shown
// after it left.
constexpr double answerMargin = 1.5;
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
    m_sinceSlice.start();
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

// Owes the reply of the request that left last, which may begin until untilMs after it left; the
// bytes it has brought so far stay with it.
void CalibratorLink::noteOwed(qint64 untilMs, qint64 deadlineMs)
{
    PortAccount& account = m_ports[portKey()];
    OwedReply owed;
    owed.sinceSent = m_sinceRequestLeft;
    owed.untilMs = untilMs;
    owed.deadlineMs = deadlineMs;
    if (account.owed.isEmpty())
        account.partial = m_buffer;
    account.owed.append(owed);
}

// A pass-through's reply until the cut exchange's deadline, since the calibrator answers it once the
// transmitter has; any other for the longer of the quiet time and half again the longest answer the
// port has seen, never past that deadline, and until the deadline while the port has seen none.
void CalibratorLink::noteCutOwed(int deadlineMs, LateReply late)
{
    const qint64 longestMs = m_ports.value(portKey()).longestAnswerMs;
    const bool answerTimeKnown = late == LateReply::WithinAnswerTime && longestMs >= 0;
    noteOwed(answerTimeKnown ? qMin<qint64>(deadlineMs, answerWindowMs(longestMs)) : deadlineMs, deadlineMs);
}

qint64 CalibratorLink::answerWindowMs(qint64 answerMs) const
{
    return qMax<qint64>(m_timing.quietMs, qint64(double(answerMs) * answerMargin));
}

// The longest, not the last: a reply taken for the wrong request measures too short a time.
void CalibratorLink::noteAnswerTime(qint64 answerMs)
{
    qint64& longest = m_ports[portKey()].longestAnswerMs;
    longest = qMax(longest, answerMs);
}

// A frame runs from its "!" to the carriage return after it (an echo has no "!"); -1: none is whole.
int CalibratorLink::frameEnd() const
{
    const int start = m_buffer.indexOf('!');
    return start < 0 ? -1 : m_buffer.indexOf('\r', start);
}

// An owed reply is one frame; what follows belongs to the next.
bool CalibratorLink::takeOwedFrame()
{
    const int end = frameEnd();
    if (end < 0)
        return false;
    debug(QStringLiteral("LATE"), m_buffer.left(end + 1));
    m_buffer.remove(0, end + 1);
    return true;
}

// Waits for one owed frame until it is whole or its time has passed, whatever the next exchange's
// own time-out; a frame still arriving then may end within the quiet time, and a line that babbles
// is not drained for ever. Due: the drain was cut, or was not to wait while the frame may come.
CalibratorLink::Drain CalibratorLink::drainOwedFrame(const OwedReply& owed, int timeoutMs, bool wait)
{
    const qint64 limitMs = owed.untilMs + timeoutMs;
    QElapsedTimer sincePiece;
    append(takeAvailable());
    while (!takeOwedFrame()) {
        qint64 leftMs = owed.untilMs - owed.sinceSent.elapsed();
        if (sincePiece.isValid())
            leftMs = qMax(leftMs, m_timing.quietMs - sincePiece.elapsed());
        leftMs = qMin(leftMs, limitMs - owed.sinceSent.elapsed());
        if (leftMs <= 0)
            return Drain::Gone;
        if (!wait)
            return Drain::Due;
        if (!waitForInput(int(leftMs)))
            return aborted() ? Drain::Due : Drain::Gone;
        append(takeAvailable());
        sincePiece.start();
    }
    return Drain::Whole;
}

void CalibratorLink::answerFromNow(OwedReply& owed, qint64 answerMs) const
{
    owed.untilMs = qMax(owed.untilMs, owed.sinceSent.elapsed() + answerWindowMs(answerMs));
}

// Drains the replies the port owes, oldest first. The bytes the oldest had brought stay in front:
// without them the rest of its frame would never look whole. A drain that is itself cut keeps the
// time and the bytes it had; without wait, only what has come is taken, and a reply whose time has
// passed is no longer owed. True when nothing is owed.
bool CalibratorLink::drainOwedReplies(int timeoutMs, bool wait)
{
    const auto it = m_ports.find(portKey());
    if (it == m_ports.end())
        return true;
    PortAccount& account = it.value();
    m_buffer = account.partial;
    while (!account.owed.isEmpty()) {
        const OwedReply owed = account.owed.first();
        const Drain drained = drainOwedFrame(owed, timeoutMs, wait);
        if (drained == Drain::Due)
            break;
        account.owed.removeFirst();
        if (drained == Drain::Gone)
            noteGivenUp(account, owed);
        // The calibrator answers one request after another: the next reply may begin only now.
        if (drained == Drain::Whole && !account.owed.isEmpty())
            answerFromNow(account.owed.first(), account.longestAnswerMs);
    }
    account.partial = account.owed.isEmpty() ? QByteArray() : m_buffer;
    return account.owed.isEmpty();
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

// The identify reply's sender is not known yet, so it ends at a silence, not at the frame checks.
CalibratorLink::Try CalibratorLink::collectUntilSilence(int timeoutMs)
{
    if (!waitForInput(timeoutMs))
        return aborted() ? Try::Cut : Try::Silent;
    append(takeAvailable());
    for (int piece = 0; piece < identifyPieceLimit && waitForInput(m_timing.identifySilenceMs); ++piece)
        append(takeAvailable());
    return Try::Reply;
}

CalibratorLink::Try CalibratorLink::collectReply(ReplyEnd end, int timeoutMs)
{
    return end == ReplyEnd::FrameChecks ? collect(timeoutMs) : collectUntilSilence(timeoutMs);
}

bool CalibratorLink::replyWhole(ReplyEnd end) const
{
    return end == ReplyEnd::FrameChecks ? isComplete() : frameEnd() >= 0;
}

// Collects until the buffer holds a whole reply, for at most timeoutMs; a line that babbles ends it too.
bool CalibratorLink::awaitReply(ReplyEnd end, qint64 timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    while (!replyWhole(end)) {
        if (timer.elapsed() >= timeoutMs || !waitForInput(int(timeoutMs - timer.elapsed())))
            return false;
        append(takeAvailable());
    }
    return true;
}

void CalibratorLink::takeCutReply(const QByteArray& frame, qint64 cutTookMs)
{
    debug(QStringLiteral("LATE"), frame);
    noteAnswerTime(cutTookMs);
}

// A reply given up before its exchange's deadline may come yet and leaves the port in doubt; one
// given up while it is, whatever its time, would have come only after that one.
void CalibratorLink::noteGivenUp(PortAccount& account, const OwedReply& owed)
{
    if (!account.doubt.isEmpty() && account.doubt.first().pastDeadline())
        account.doubt.clear();
    if (!account.doubt.isEmpty() || (owed.untilMs < owed.deadlineMs && !owed.pastDeadline()))
        account.doubt.append(owed);
}

// The doubt the port is in, which only the exchange after the cut settles: empty when there is none
// or the cut's deadline has passed.
QList<CalibratorLink::OwedReply> CalibratorLink::takeDoubt()
{
    QList<OwedReply> doubt;
    doubt.swap(m_ports[portKey()].doubt);
    if (!doubt.isEmpty() && doubt.first().pastDeadline())
        doubt.clear();
    return doubt;
}

// Once the cut's reply has come, the replies given up after it are owed again, one after another
// from now, ahead of this request's own. False when that drain is cut.
bool CalibratorLink::letFollowersPass(const QList<OwedReply>& followers, int timeoutMs)
{
    if (followers.isEmpty())
        return true;
    PortAccount& account = m_ports[portKey()];
    account.owed = followers;
    account.partial = m_buffer;
    answerFromNow(account.owed.first(), account.longestAnswerMs);
    const bool drained = drainOwedReplies(timeoutMs);
    m_sinceRequestLeft.start();
    return drained;
}

// A port in doubt does not take the first frame that came as this request's reply on trust: the cut
// given up early may have been answered only now. The frame is the cut's when it came later than the
// calibrator has ever answered (a pass-through's time says nothing of that), or when a second frame
// follows within the time the first took counted from the cut; this request's reply comes after it
// and after the replies given up behind it.
CalibratorLink::Try CalibratorLink::settleDoubt(int timeoutMs, LateReply late, ReplyEnd end)
{
    const QList<OwedReply> doubt = takeDoubt();
    if (doubt.isEmpty())
        return Try::Reply;
    const qint64 cutTookMs = doubt.first().sinceSent.elapsed();
    const int firstEnd = frameEnd();
    const QByteArray first = m_buffer.left(firstEnd < 0 ? m_buffer.size() : firstEnd + 1);
    m_buffer.remove(0, first.size());
    // The calibrator turns to this request only once it has answered the cut one.
    m_sinceRequestLeft.start();
    const bool laterThanEver = late == LateReply::WithinAnswerTime
                               && m_answerMs > answerWindowMs(m_ports.value(portKey()).longestAnswerMs);
    if (laterThanEver || awaitReply(end, qMin<qint64>(answerWindowMs(cutTookMs), timeoutMs))) {
        takeCutReply(first, cutTookMs);
        if (!letFollowersPass(doubt.mid(1), timeoutMs))
            return Try::Cut;
        const Try own = replyWhole(end) ? Try::Reply : collectReply(end, timeoutMs);
        m_answerMs = m_sinceRequestLeft.elapsed();
        return own;
    }
    if (aborted())
        return Try::Cut;
    m_buffer.prepend(first);
    return Try::Reply;
}

CalibratorLink::Try CalibratorLink::runTry(const QByteArray& request, int timeoutMs, LateReply late)
{
    if (!write(request, timeoutMs)) {
        debug(QStringLiteral("WRITE ERROR"), m_io->errorString().toLatin1());
        return aborted() ? Try::Aborted : Try::WriteFailed;
    }
    m_sinceRequestLeft.start();
    Try result = collect(timeoutMs);
    m_answerMs = m_sinceRequestLeft.elapsed();
    if (result == Try::Reply)
        result = settleDoubt(timeoutMs, late, ReplyEnd::FrameChecks);
    debug(QStringLiteral("READ"), m_buffer);
    return result;
}

CalibratorLink::Status CalibratorLink::command(const QByteArray& text, int timeoutMs, LateReply late)
{
    return exchange(AsciiUail::makePackage(QString::fromLatin1(text), m_address), timeoutMs, late);
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

CalibratorLink::Status CalibratorLink::exchange(const QByteArray& request, int timeoutMs, LateReply late)
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
            drainOwedReplies(timeoutMs);
            drained = true;
        }
        if (aborted())
            break;
        result = runTry(request, timeoutMs, late);
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
        if (late == LateReply::WithinAnswerTime)
            noteAnswerTime(m_answerMs);
        m_reply = m_buffer;
        AsciiUail::unpackPackage(m_reply, m_address);
        m_lastStatus = Status::Ok;
    } else {
        m_lastStatus = aborted() ? Status::Aborted : Status::NoAnswer;
        if (result == Try::Cut)
            noteCutOwed(timeoutMs, late);
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
    if (!drainOwedReplies(m_timing.identifyTimeoutMs))
        return Identify::Aborted;
    if (!write(request, writeTimeoutMs))
        return aborted() ? Identify::Aborted : Identify::WriteFailed;
    m_sinceRequestLeft.start();
    Try result = collectUntilSilence(m_timing.identifyTimeoutMs);
    m_answerMs = m_sinceRequestLeft.elapsed();
    if (result == Try::Reply)
        result = settleDoubt(m_timing.identifyTimeoutMs, LateReply::WithinAnswerTime, ReplyEnd::Silence);
    if (result == Try::Cut)
        noteCutOwed(m_timing.identifyTimeoutMs, LateReply::WithinAnswerTime);
    if (result != Try::Reply)
        return result == Try::Cut ? Identify::Aborted : Identify::Silent;
    noteAnswerTime(m_answerMs);
    m_reply = m_buffer;
    return Identify::Reply;
}

bool CalibratorLink::sendWithoutReply(const QByteArray& frame, int timeoutMs)
{
    if (!open())
        return false;
    // Nobody reads what comes back, so the frame need not wait for the replies still owed: its own
    // is counted after them.
    drainOwedReplies(timeoutMs, false);
    m_io->write(frame);
    m_io->waitForBytesWritten(timeoutMs);
    m_sinceRequestLeft.start();
    m_buffer.clear();
    // No exchange waits for the acknowledgement, so it is owed for the calibrator's answer time alone,
    // or for the write's time-out while the port has not heard the calibrator; no deadline of its own
    // is given up early.
    const qint64 longestMs = m_ports.value(portKey()).longestAnswerMs;
    const qint64 untilMs = longestMs >= 0 ? answerWindowMs(longestMs) : timeoutMs;
    noteOwed(untilMs, untilMs);
    QThread::msleep(ulong(m_timing.releaseSettleMs));
    drainOwedReplies(timeoutMs, false);
    close();
    return true;
}
