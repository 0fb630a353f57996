#include "CalibratorEmulator.h"

#include "AsciiUail.h"
#include "CalibratorMap.h"
#include "EmulatorStatus.h"
#include "ReplyWriter.h"

#include <cerrno>
#include <poll.h>
#include <unistd.h>

namespace {

// Bounds how long stop() waits for the worker to notice.
constexpr int PollIntervalMs = 20;
constexpr int ReadChunk = 512;
// "$16": the HART modem is switched off.
constexpr int HartModemOff = 16;

// The workstation opens the port with XON/XOFF: these bytes would be taken as flow control.
const char FlowControlBytes[] = {'\x11', '\x13'};

QByteArray withoutFlowControl(QByteArray bytes)
{
    for (const char c : FlowControlBytes)
        bytes.replace(c, QByteArray());
    return bytes;
}

qint64 microsecondsOf(StopToken::Clock::time_point time)
{
    return std::chrono::duration_cast<std::chrono::microseconds>(time.time_since_epoch()).count();
}

QByteArray replyFrame(int address, const QByteArray& data, bool badCheck)
{
    const QByteArray body = QByteArray::number(address) + ';' + data + ';';
    const quint16 check = AsciiUail::crc16(body);
    return '!' + body + QByteArray::number(badCheck ? quint16(check + 1) : check) + '\r';
}

bool isAddressedTo(const EmulatorRequest& request, int address)
{
    const bool identifyBroadcast = request.address == 0 && request.commandNumber() == CalibratorMap::CmdIdentify;
    return request.address == address || identifyBroadcast;
}

}  // namespace

CalibratorEmulator::CalibratorEmulator()
    : m_hart(m_stop)
{
    installHandlers();
}

CalibratorEmulator::~CalibratorEmulator()
{
    stop();
}

bool CalibratorEmulator::start()
{
    if (isRunning())
        return true;
    if (!m_terminal.open() || !m_userWatch.start(m_terminal.slavePath()))
        return false;
    m_stop.reset();
    m_worker = std::thread(&CalibratorEmulator::run, this);
    return true;
}

void CalibratorEmulator::stop()
{
    m_stop.request();
    if (m_worker.joinable())
        m_worker.join();
    m_terminal.hangUp();
}

bool CalibratorEmulator::isRunning() const
{
    return m_worker.joinable();
}

QString CalibratorEmulator::portPath() const
{
    return m_terminal.slavePath();
}

template <typename Change>
void CalibratorEmulator::changeOptions(Change change)
{
    std::lock_guard<std::mutex> lock(m_optionsMutex);
    change(m_options);
}

void CalibratorEmulator::setOptions(const EmulatorOptions& options)
{
    changeOptions([&options](EmulatorOptions& o) {
        o = options;
        o.leadingGarbage = withoutFlowControl(options.leadingGarbage);
    });
}

void CalibratorEmulator::setDeviceType(int type)
{
    changeOptions([type](EmulatorOptions& o) { o.deviceType = type; });
}

void CalibratorEmulator::setAddress(int address)
{
    changeOptions([address](EmulatorOptions& o) { o.address = address; });
}

void CalibratorEmulator::setReplyDelayMs(int ms)
{
    changeOptions([ms](EmulatorOptions& o) { o.replyDelayMs = qMax(0, ms); });
}

void CalibratorEmulator::setCommandDelayMs(const QString& commandPrefix, int ms)
{
    changeOptions([&commandPrefix, ms](EmulatorOptions& o) { o.commandDelays.insert(commandPrefix, qMax(0, ms)); });
}

void CalibratorEmulator::setPaced(bool paced)
{
    changeOptions([paced](EmulatorOptions& o) { o.paced = paced; });
}

void CalibratorEmulator::setSilent(bool silent)
{
    changeOptions([silent](EmulatorOptions& o) { o.silent = silent; });
}

void CalibratorEmulator::setBadCheckReplies(int count)
{
    changeOptions([count](EmulatorOptions& o) { o.badCheckReplies = qMax(-1, count); });
}

void CalibratorEmulator::setStatusReply(const QString& commandPrefix, int code)
{
    changeOptions([&commandPrefix, code](EmulatorOptions& o) { o.statusReplies.insert(commandPrefix, code); });
}

void CalibratorEmulator::clearStatusReplies()
{
    changeOptions([](EmulatorOptions& o) { o.statusReplies.clear(); });
}

void CalibratorEmulator::setEcho(bool echo)
{
    changeOptions([echo](EmulatorOptions& o) { o.echo = echo; });
}

void CalibratorEmulator::setLoseWhileClosed(bool lose)
{
    changeOptions([lose](EmulatorOptions& o) { o.loseWhileClosed = lose; });
}

bool CalibratorEmulator::losesWhileClosed()
{
    std::lock_guard<std::mutex> lock(m_optionsMutex);
    return m_options.loseWhileClosed;
}

// The watch is read on every turn of the loop, so its events never pile up.
void CalibratorEmulator::followPortUser()
{
    if (m_userWatch.userLeft() && losesWhileClosed())
        m_terminal.dropUnread();
}

void CalibratorEmulator::setLeadingGarbage(const QByteArray& bytes)
{
    const QByteArray garbage = withoutFlowControl(bytes);
    changeOptions([&garbage](EmulatorOptions& o) { o.leadingGarbage = garbage; });
}

void CalibratorEmulator::setSplit(int pieces, int gapMs)
{
    changeOptions([pieces, gapMs](EmulatorOptions& o) {
        o.splitPieces = qMax(1, pieces);
        o.splitGapMs = qMax(0, gapMs);
    });
}

void CalibratorEmulator::setValue(const QString& key, const QString& text)
{
    m_memory.setValue(key, text);
}

void CalibratorEmulator::setValueDrift(const QString& key, double step)
{
    m_memory.setValueDrift(key, step);
}

void CalibratorEmulator::setArchiveFrame(int index, const QByteArray& frame)
{
    m_memory.setArchiveFrame(index, frame);
}

QByteArray CalibratorEmulator::archiveFrame(int index) const
{
    return m_memory.archiveFrame(index);
}

void CalibratorEmulator::setRegister(int reg, int type, const QByteArray& text)
{
    m_memory.setRegister(reg, type, text);
}

QByteArray CalibratorEmulator::registerText(int reg, int type) const
{
    return m_memory.registerText(reg, type);
}

int CalibratorEmulator::malformedWriteCount() const
{
    return m_memory.malformedWriteCount();
}

bool CalibratorEmulator::isSessionOpen() const
{
    return m_memory.isSessionOpen();
}

CommandHandler CalibratorEmulator::setCommandHandler(int command, CommandHandler handler)
{
    return m_commands.setHandler(command, std::move(handler));
}

void CalibratorEmulator::attachHartTransmitter(HartVariant variant)
{
    using namespace CalibratorMap;
    m_hart.reset(variant);
    m_memory.setRegister(RegHartModem, RegTypeByte, "1");
    m_commands.setHandler(CmdHartPassThrough, [this](const QStringList& p) {
        return isHartModemOn() ? m_hart.passThrough(p) : EmulatorStatus::reply(HartModemOff);
    });
    m_hartAttached = true;
}

void CalibratorEmulator::setRequestObserver(RequestObserver observer)
{
    std::lock_guard<std::mutex> lock(m_optionsMutex);
    m_observer = std::move(observer);
}

QList<EmulatorRequest> CalibratorEmulator::requests() const
{
    return m_log.requests();
}

int CalibratorEmulator::requestCount() const
{
    return m_log.count();
}

void CalibratorEmulator::clearRequests()
{
    m_log.clear();
}

bool CalibratorEmulator::waitForRequests(int count, int timeoutMs) const
{
    return m_log.waitForCount(count, timeoutMs);
}

void CalibratorEmulator::installHandlers()
{
    using namespace CalibratorMap;
    m_commands.setHandler(CmdIdentify,
                          [this](const QStringList&) { return EmulatorStatus::reply(m_served.deviceType); });
    m_commands.setHandler(CmdReadValue, [this](const QStringList& p) { return readValue(p); });
    m_commands.setHandler(CmdReadRegisters, [this](const QStringList& p) { return m_memory.readRegisters(p); });
    m_commands.setHandler(CmdWriteRegisters, [this](const QStringList& p) { return writeRegisters(p); });
}

QByteArray CalibratorEmulator::readValue(const QStringList& parameters)
{
    using namespace CalibratorMap;
    const QByteArray stored = m_memory.readValue(parameters);
    if (!m_hartAttached || parameters.isEmpty() || stored != EmulatorStatus::reply(EmulatorStatus::NoSuchItem))
        return stored;
    const int value = parameters.first().toInt();
    if (value == ValueLoopCurrent)
        return m_hart.loopCurrentValue();
    if (value != ValueHartPollAddress && value != ValueHartIdentity)
        return stored;
    if (!isHartModemOn())
        return EmulatorStatus::reply(HartModemOff);
    return value == ValueHartPollAddress ? m_hartAddress.value(m_hart.pollingAddressValue()) : m_hart.identityValue();
}

QByteArray CalibratorEmulator::writeRegisters(const QStringList& parameters)
{
    using namespace CalibratorMap;
    const QByteArray reply = m_memory.writeRegisters(parameters);
    if (parameters.size() == 4 && parameters.first().toInt() == RegHartPollAddress
        && reply == EmulatorStatus::reply(EmulatorStatus::Done))
        m_hartAddress.written(parameters.last().toLatin1());
    return reply;
}

bool CalibratorEmulator::isHartModemOn() const
{
    using namespace CalibratorMap;
    return m_memory.registerText(RegHartModem, RegTypeByte) == "1";
}

void CalibratorEmulator::run()
{
    const int fd = m_terminal.masterFd();
    FrameAssembler assembler;
    char chunk[ReadChunk];
    while (!m_stop.isSet()) {
        followPortUser();
        babble(fd);
        pollfd readable{fd, POLLIN, 0};
        if (::poll(&readable, 1, PollIntervalMs) <= 0)
            continue;
        const ssize_t count = ::read(fd, chunk, sizeof chunk);
        if (count > 0) {
            const auto received = StopToken::Clock::now();
            for (const FrameAssembler::Frame& frame : assembler.feed(QByteArray(chunk, int(count)), received))
                serve(frame, received);
        } else if (count < 0 && errno != EAGAIN && errno != EINTR) {
            // A master without a readable slave reports errors at once; do not spin on them.
            m_stop.waitUntil(StopToken::Clock::now() + std::chrono::milliseconds(PollIntervalMs));
        }
    }
}

// One poll interval's worth of bytes, with no "!" to start a frame and no carriage return to end
// one. What the full terminal does not take is dropped, as a line drops what nobody reads.
void CalibratorEmulator::babble(int fd)
{
    static const char pattern[] = "?~#%&*+-";
    if (!m_babbling)
        return;
    QByteArray bytes;
    for (int i = 0; i < PollIntervalMs; ++i)
        bytes += pattern[i % (sizeof pattern - 1)];
    const ssize_t written = ::write(fd, bytes.constData(), size_t(bytes.size()));
    if (written > 0)
        m_babbled += written;
}

void CalibratorEmulator::serve(const FrameAssembler::Frame& frame, StopToken::Clock::time_point received)
{
    // Frames that came in one read are stamped when they arrived, but each reply is timed from
    // the moment its answer is ready, as a calibrator answering one request after another (and
    // waiting for the HART transmitter behind it) would.
    const EmulatorRequest request = EmulatorRequest::fromFrame(frame.bytes, microsecondsOf(received));
    // The plan is fixed and the observer told before the request is logged, so whoever waits for
    // the log sees the observer done, and an option changed then applies to the next request only.
    const ReplyPlan plan = takeReplyPlan(request);
    RequestObserver observer;
    {
        std::lock_guard<std::mutex> lock(m_optionsMutex);
        observer = m_observer;
    }
    if (observer)
        observer(request);
    m_log.append(request);
    if (!plan.answered)
        return;
    // The pseudo-terminal hands the request over at once; on the line its last byte comes only
    // after the wire time of all its bytes, and a paced calibrator starts its answer from there.
    if (plan.options.paced && !m_stop.waitUntil(frame.firstByte + ReplyWriter::wireTime(frame.bytes.size())))
        return;
    m_served = plan.options;
    const QByteArray bytes = output(request, plan);
    const auto heard = [this, lose = plan.options.loseWhileClosed] {
        followPortUser();
        return !lose || m_userWatch.userHoldsPort();
    };
    ReplyWriter(m_terminal.masterFd(), m_stop, heard).send(bytes, plan.options, StopToken::Clock::now());
}

CalibratorEmulator::ReplyPlan CalibratorEmulator::takeReplyPlan(const EmulatorRequest& request)
{
    std::lock_guard<std::mutex> lock(m_optionsMutex);
    ReplyPlan plan;
    plan.options = m_options;
    plan.options.replyDelayMs = m_options.replyDelayFor(request.command);
    plan.answered = request.validCrc && !m_options.silent && isAddressedTo(request, m_options.address);
    if (plan.answered && m_options.badCheckReplies != 0) {
        plan.badCheck = true;
        if (m_options.badCheckReplies > 0)
            --m_options.badCheckReplies;
    }
    return plan;
}

QByteArray CalibratorEmulator::replyData(const EmulatorRequest& request, const EmulatorOptions& options) const
{
    const int status = options.statusReplyFor(request.command);
    return status >= 0 ? EmulatorStatus::reply(status) : m_commands.dispatch(request.command);
}

QByteArray CalibratorEmulator::output(const EmulatorRequest& request, const ReplyPlan& plan) const
{
    const EmulatorOptions& options = plan.options;
    QByteArray bytes;
    if (options.echo)
        bytes += withoutFlowControl(request.frame);
    bytes += options.leadingGarbage;
    return bytes + replyFrame(options.address, replyData(request, options), plan.badCheck);
}
