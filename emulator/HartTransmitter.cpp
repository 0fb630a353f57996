#include "HartTransmitter.h"

#include "EmulatorStatus.h"
#include "HartSlaveCommands.h"

#include <QRegularExpression>
#include <chrono>

namespace {

constexpr int Preambles = 5;
// 11 bits a character (start, 8 data, odd parity, stop) at 1200 baud.
constexpr double CharacterMicroseconds = 11.0 * 1e6 / 1200.0;
constexpr quint8 AddressMask = 0x3F;
constexpr char BurstBit = 0x40;
// Longitudinal parity error reported by the transmitter instead of running the command.
const QByteArray CommErrorBody = QByteArray::fromHex("8800");

bool isWarning(int code)
{
    return code == 8 || code == 14 || (code >= 24 && code <= 27) || code == 30 || code == 31;
}

bool isHexText(const QString& text)
{
    static const QRegularExpression hex(QStringLiteral("^([0-9A-Fa-f]{2})+$"));
    return hex.match(text).hasMatch();
}

// "40;<length as one raw character>;<frame as hexadecimal text>": the fields after the command.
bool frameBytesOf(const QStringList& fields, QByteArray& bytes)
{
    if (fields.size() != 2 || fields.at(0).size() != 1)
        return false;
    const QString& hex = fields.at(1);
    if (fields.at(0).at(0).unicode() != hex.size() % 256 || !isHexText(hex))
        return false;
    bytes = QByteArray::fromHex(hex.toLatin1());
    return true;
}

void applyFault(HartFault fault, HartSlaveFrame& reply)
{
    switch (fault) {
    case HartFault::WrongAddress:
        reply.address[reply.address.size() - 1] = char(reply.address.back() ^ 0x01);
        break;
    case HartFault::WrongCommand:
        reply.command = (reply.command + 1) & 0xFF;
        break;
    case HartFault::ByteCountZero:
        reply.body.clear();
        break;
    case HartFault::ByteCountOne:
        reply.body.truncate(1);
        break;
    case HartFault::ShortData:
        if (reply.body.size() > 2)
            reply.body.chop(1);
        break;
    default:
        break;
    }
}

}  // namespace

HartTransmitter::HartTransmitter(const StopToken& stop)
    : m_stop(stop)
    , m_state(HartTransmitterState::forVariant(HartVariant::Family))
{
}

void HartTransmitter::reset(HartVariant variant)
{
    setState(HartTransmitterState::forVariant(variant));
}

HartTransmitterState HartTransmitter::state() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_state;
}

void HartTransmitter::setState(const HartTransmitterState& state)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_state = state;
}

HartTransmitterOptions HartTransmitter::options() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_options;
}

void HartTransmitter::setOptions(const HartTransmitterOptions& options)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_options = options;
}

void HartTransmitter::setResponseCode(int command, int code)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_options.responseCodes.insert(command, code);
}

void HartTransmitter::setFault(int command, HartFault fault)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_options.faults.insert(command, fault);
}

void HartTransmitter::setCommandDelay(int command, int ms)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_options.commandDelaysMs.insert(command, ms);
}

void HartTransmitter::clearFaults()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_options.faults.clear();
    m_options.responseCodes.clear();
}

QList<HartSlaveRequest> HartTransmitter::requests() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_requests;
}

QList<int> HartTransmitter::commands() const
{
    QList<int> numbers;
    for (const HartSlaveRequest& request : requests())
        numbers.append(request.command);
    return numbers;
}

void HartTransmitter::clearRequests()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_requests.clear();
}

QByteArray HartTransmitter::passThrough(const QStringList& parameters)
{
    const auto arrived = StopToken::Clock::now();
    QByteArray frameBytes;
    if (!frameBytesOf(parameters, frameBytes))
        return EmulatorStatus::reply(EmulatorStatus::NoSuchItem);
    HartTransmitterOptions options;
    QByteArray reply;
    int command = -1;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        options = m_options;
        HartSlaveFrame request;
        if (HartSlaveFrame::fromRequest(frameBytes, request) && isAddressedBy(request)) {
            m_requests.append({request.command, request.body});
            reply = answer(request, options);
            command = request.command;
        }
    }
    waitWireTime(arrived, frameBytes.size(), reply.size(), options, command);
    return reply.isEmpty() ? EmulatorStatus::reply(StatusNoAnswer) : reply.toHex().toUpper();
}

QByteArray HartTransmitter::pollingAddressValue() const
{
    return QByteArray::number(state().pollingAddress);
}

QByteArray HartTransmitter::identityValue() const
{
    return state().identity().toHex().toUpper();
}

QByteArray HartTransmitter::loopCurrentValue() const
{
    return QByteArray::number(state().loopCurrent(), 'f', 4);
}

QByteArray HartTransmitter::answer(const HartSlaveFrame& request, const HartTransmitterOptions& options)
{
    const HartFault fault = options.faultFor(request.command);
    if (fault == HartFault::Silent)
        return QByteArray();
    HartSlaveFrame reply = request;
    if (m_state.burstMode)
        reply.address[0] = char(reply.address.at(0) | BurstBit);
    if (fault == HartFault::CommError) {
        reply.body = CommErrorBody;
    } else {
        const int chosen = options.responseCodeFor(request.command);
        const bool runs = chosen <= 0 || isWarning(chosen);
        HartSlaveReply result;
        if (runs)
            result = HartSlaveCommands::execute(request.command, request.body, m_state);
        if (chosen > 0)
            result = {quint8(chosen), runs ? result.data : QByteArray()};
        reply.body = char(result.code) + (char(m_state.fieldDeviceStatus()) + result.data);
    }
    applyFault(fault, reply);
    QByteArray bytes = reply.replyBytes();
    if (fault == HartFault::BadCheck)
        bytes[bytes.size() - 1] = char(bytes.back() ^ 0xFF);
    return bytes;
}

bool HartTransmitter::isAddressedBy(const HartSlaveFrame& request) const
{
    const quint8 first = quint8(request.address.at(0)) & AddressMask;
    if (!request.longAddress)
        return first == m_state.pollingAddress;
    return first == (m_state.manufacturerCode & AddressMask)
           && request.address.mid(1) == QByteArray(1, char(m_state.deviceTypeCode)) + m_state.deviceId;
}

void HartTransmitter::waitWireTime(StopToken::Clock::time_point arrived, int requestBytes, int replyBytes,
                                   const HartTransmitterOptions& options, int command) const
{
    const int characters = Preambles + requestBytes + (replyBytes > 0 ? Preambles + replyBytes : 0);
    const auto wire = options.paced ? std::chrono::microseconds(qint64(characters * CharacterMicroseconds))
                                    : std::chrono::microseconds(0);
    const int delayMs = options.replyDelayMs + (command >= 0 ? options.delayFor(command) : 0);
    m_stop.waitUntil(arrived + wire + std::chrono::milliseconds(delayMs));
}
