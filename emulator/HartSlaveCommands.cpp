#include "HartSlaveCommands.h"

#include "HartTransmitterState.h"
#include "PressureUnits.h"

#include <QVector>
#include <QtEndian>
#include <cstring>
#include <map>

namespace {

constexpr quint8 InvalidSelection = 2;
constexpr quint8 TooLarge = 3;
constexpr quint8 TooSmall = 4;
constexpr quint8 TooFewBytes = 5;
constexpr quint8 WriteProtected = 7;
constexpr quint8 InvalidData = 9;
constexpr quint8 MultidropMode = 11;
constexpr quint8 InvalidUnits = 18;
constexpr quint8 NotImplemented = 64;
constexpr quint8 ExpansionCode = 254;
constexpr quint8 MaxPollingAddress = 63;
constexpr int Hart5AdditionalStatusBytes = 6;

// Read: answers from memory. Write: refused while write-protected, a configuration change when it
// goes through. Action: refused while write-protected, no configuration change. Free: neither.
enum class Kind { Read, Write, Action, Free };

using Run = HartSlaveReply (*)(const QByteArray& request, HartTransmitterState& s);

struct Command
{
    int requestBytes;
    Kind kind;
    Run run;
};

void putFloat(QByteArray& out, float value)
{
    quint32 bits;
    std::memcpy(&bits, &value, sizeof bits);
    char wire[4];
    qToBigEndian(bits, wire);
    out.append(wire, 4);
}

void putWord(QByteArray& out, quint16 value)
{
    out += char(value >> 8);
    out += char(value & 0xFF);
}

float floatAt(const QByteArray& in, int offset)
{
    const quint32 bits = qFromBigEndian<quint32>(in.constData() + offset);
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

quint16 wordAt(const QByteArray& in, int offset)
{
    return qFromBigEndian<quint16>(in.constData() + offset);
}

QByteArray floats(std::initializer_list<float> values)
{
    QByteArray out;
    for (const float value : values)
        putFloat(out, value);
    return out;
}

quint8 byteAt(const QByteArray& in, int offset)
{
    return quint8(in.at(offset));
}

HartSlaveReply ok(const QByteArray& data = QByteArray())
{
    return {0, data};
}

HartSlaveReply refuse(quint8 code)
{
    return {code, QByteArray()};
}

bool isPressureUnit(quint8 code)
{
    static const QVector<quint8> units = {11, 12, 237, 10, 176, 5, 239, 8, 7, 14, 6};
    return units.contains(code);
}

float converted(quint8 from, quint8 to, float value)
{
    return float(PressureUnits::convertHart(from, to, double(value)));
}

// Commands that read or write one value as it stands: a text block or a float.
template <QByteArray HartTransmitterState::*block>
HartSlaveReply readBlock(const QByteArray&, HartTransmitterState& s)
{
    return ok(s.*block);
}

template <QByteArray HartTransmitterState::*block, int size>
HartSlaveReply writeBlock(const QByteArray& r, HartTransmitterState& s)
{
    s.*block = r.left(size);
    return ok(s.*block);
}

template <float HartTransmitterState::*value>
HartSlaveReply readFloat(const QByteArray&, HartTransmitterState& s)
{
    return ok(floats({s.*value}));
}

template <float HartTransmitterState::*value>
HartSlaveReply writeFloat(const QByteArray& r, HartTransmitterState& s)
{
    s.*value = floatAt(r, 0);
    return ok(r.left(4));
}

HartSlaveReply identity(const QByteArray&, HartTransmitterState& s)
{
    QByteArray d;
    for (const quint8 b : {ExpansionCode, s.manufacturerCode, s.deviceTypeCode, s.requestPreambles, s.universalRevision,
                           s.deviceRevision, s.softwareRevision, s.hardwareRevisionSignalling, s.identityFlags})
        d += char(b);
    d += s.deviceId;
    if (s.variant == HartVariant::Hart5)
        return ok(d);
    d += char(s.responsePreambles);
    d += char(s.maxDeviceVariables);
    putWord(d, s.configChangeCounter);
    d += char(s.extendedDeviceStatus);
    putWord(d, s.manufacturerIdCode);
    putWord(d, s.privateLabelCode);
    d += char(s.deviceProfile);
    return ok(d);
}

HartSlaveReply primaryVariable(const QByteArray&, HartTransmitterState& s)
{
    return ok(char(s.pvUnit) + floats({s.pvValue}));
}

HartSlaveReply loopConfiguration(const QByteArray&, HartTransmitterState& s)
{
    return ok(QByteArray(1, char(s.pollingAddress)) + char(s.loopCurrentMode));
}

HartSlaveReply writePollingAddress(const QByteArray& r, HartTransmitterState& s)
{
    if (byteAt(r, 0) > MaxPollingAddress)
        return refuse(InvalidSelection);
    s.pollingAddress = byteAt(r, 0);
    if (r.size() > 1)
        s.loopCurrentMode = byteAt(r, 1);
    return s.variant == HartVariant::Hart5 ? ok(r.left(1)) : loopConfiguration(r, s);
}

HartSlaveReply readTagDescriptorDate(const QByteArray&, HartTransmitterState& s)
{
    return ok(s.tag + s.descriptor + s.date);
}

HartSlaveReply writeTagDescriptorDate(const QByteArray& r, HartTransmitterState& s)
{
    s.tag = r.left(6);
    s.descriptor = r.mid(6, 12);
    s.date = r.mid(18, 3);
    return readTagDescriptorDate(r, s);
}

HartSlaveReply sensorLimits(const QByteArray&, HartTransmitterState& s)
{
    return ok(s.sensorSerial + char(s.sensorLimitsUnit) + floats({s.sensorUpperLimit, s.sensorLowerLimit, s.minimumSpan}));
}

HartSlaveReply deviceInformation(const QByteArray&, HartTransmitterState& s)
{
    QByteArray d;
    d += char(s.alarmSelection);
    d += char(s.transferFunction);
    d += char(s.rangeUnit);
    d += floats({s.upperRangeValue, s.lowerRangeValue, s.damping});
    d += char(s.writeProtect);
    d += char(s.privateLabelDistributor);
    if (s.variant != HartVariant::Hart5)
        d += char(s.analogChannelFlags);
    return ok(d);
}

HartSlaveReply writeDamping(const QByteArray& r, HartTransmitterState& s)
{
    constexpr float MaxDamping = 60.0f;
    const float damping = floatAt(r, 0);
    if (!(damping >= 0.0f))
        return refuse(TooSmall);
    if (damping > MaxDamping)
        return refuse(TooLarge);
    s.damping = damping;
    return ok(r.left(4));
}

HartSlaveReply writeRange(const QByteArray& r, HartTransmitterState& s)
{
    const quint8 unit = byteAt(r, 0);
    if (!isPressureUnit(unit))
        return refuse(InvalidSelection);
    s.upperRangeValue = converted(unit, s.pvUnit, floatAt(r, 1));
    s.lowerRangeValue = converted(unit, s.pvUnit, floatAt(r, 5));
    return ok(r.left(9));
}

HartSlaveReply resetConfigurationChanged(const QByteArray& r, HartTransmitterState& s)
{
    if (r.size() >= 2 && wordAt(r, 0) != s.configChangeCounter)
        return refuse(InvalidData);
    s.configChanged = false;
    QByteArray counter;
    if (s.variant != HartVariant::Hart5)
        putWord(counter, s.configChangeCounter);
    return ok(counter);
}

HartSlaveReply fixCurrent(const QByteArray& r, HartTransmitterState& s)
{
    constexpr float MaxCurrent = 24.0f;
    const float current = floatAt(r, 0);
    if (s.loopCurrentMode == 0)
        return refuse(MultidropMode);
    if (!(current >= 0.0f))
        return refuse(TooSmall);
    if (current > MaxCurrent)
        return refuse(TooLarge);
    s.fixedCurrentMode = current != 0.0f;
    s.fixedCurrent = current;
    return ok(r.left(4));
}

HartSlaveReply deviceReset(const QByteArray&, HartTransmitterState& s)
{
    s.fixedCurrentMode = false;
    return ok();
}

HartSlaveReply setZero(const QByteArray&, HartTransmitterState& s)
{
    s.pvValue = 0.0f;
    return ok();
}

HartSlaveReply writeUnit(const QByteArray& r, HartTransmitterState& s)
{
    const quint8 unit = byteAt(r, 0);
    if (!isPressureUnit(unit))
        return refuse(InvalidSelection);
    s.pvValue = converted(s.pvUnit, unit, s.pvValue);
    s.upperRangeValue = converted(s.pvUnit, unit, s.upperRangeValue);
    s.lowerRangeValue = converted(s.pvUnit, unit, s.lowerRangeValue);
    s.pvUnit = unit;
    s.rangeUnit = unit;
    return ok(r.left(1));
}

// Zero trim moves the offset, gain trim scales the gain, each by what the master measured.
HartSlaveReply trimCurrentZero(const QByteArray& r, HartTransmitterState& s)
{
    if (!s.fixedCurrentMode)
        return refuse(InvalidData);
    s.outputOffset += s.fixedCurrent - floatAt(r, 0);
    return ok(r.left(4));
}

HartSlaveReply trimCurrentGain(const QByteArray& r, HartTransmitterState& s)
{
    const float measured = floatAt(r, 0);
    if (!s.fixedCurrentMode)
        return refuse(InvalidData);
    if (!(measured > 0.0f))
        return refuse(TooSmall);
    s.outputGain *= s.fixedCurrent / measured;
    return ok(r.left(4));
}

HartSlaveReply writeTransferFunction(const QByteArray& r, HartTransmitterState& s)
{
    if (byteAt(r, 0) > 1)
        return refuse(InvalidSelection);
    s.transferFunction = byteAt(r, 0);
    return ok(r.left(1));
}

HartSlaveReply additionalStatus(const QByteArray&, HartTransmitterState& s)
{
    s.moreStatusAvailable = false;
    return ok(s.variant == HartVariant::Hart5 ? s.additionalStatus.left(Hart5AdditionalStatusBytes) : s.additionalStatus);
}

HartSlaveReply writeResponsePreambles(const QByteArray& r, HartTransmitterState& s)
{
    constexpr quint8 MinPreambles = 5;
    constexpr quint8 MaxPreambles = 20;
    const quint8 count = byteAt(r, 0);
    if (count < MinPreambles)
        return refuse(TooSmall);
    if (count > MaxPreambles)
        return refuse(TooLarge);
    s.responsePreambles = count;
    return ok(r.left(1));
}

HartSlaveReply trimPoints(const QByteArray& r, HartTransmitterState& s)
{
    if (byteAt(r, 0) != 0)
        return refuse(InvalidSelection);
    return ok(QByteArray(1, '\0') + char(s.trimUnit) + floats({s.trimPointLower, s.trimPointUpper}));
}

HartSlaveReply trimGuidelines(const QByteArray& r, HartTransmitterState& s)
{
    if (byteAt(r, 0) != 0)
        return refuse(InvalidSelection);
    return ok(QByteArray(1, '\0') + char(s.guideTrimPoints) + char(s.trimUnit)
              + floats({s.guideMinLower, s.guideMaxLower, s.guideMinUpper, s.guideMaxUpper, s.guideMinDifferential}));
}

HartSlaveReply trimPoint(const QByteArray& r, HartTransmitterState& s)
{
    const quint8 point = byteAt(r, 1);
    const float value = floatAt(r, 3);
    if (byteAt(r, 0) != 0 || (point != 1 && point != 2))
        return refuse(InvalidSelection);
    if (byteAt(r, 2) != s.trimUnit)
        return refuse(InvalidUnits);
    const float low = point == 1 ? s.guideMinLower : s.guideMinUpper;
    const float high = point == 1 ? s.guideMaxLower : s.guideMaxUpper;
    if (!(value >= low))
        return refuse(TooSmall);
    if (value > high)
        return refuse(TooLarge);
    (point == 1 ? s.trimPointLower : s.trimPointUpper) = value;
    return ok(r.left(7));
}

HartSlaveReply resetTrim(const QByteArray& r, HartTransmitterState& s)
{
    if (byteAt(r, 0) != 0)
        return refuse(InvalidSelection);
    const HartTransmitterState factory = HartTransmitterState::forVariant(s.variant);
    s.trimPointLower = factory.trimPointLower;
    s.trimPointUpper = factory.trimPointUpper;
    return ok(r.left(1));
}

HartSlaveReply outputCoefficients(const QByteArray&, HartTransmitterState& s)
{
    return ok(floats({s.outputGain, s.outputOffset}));
}

HartSlaveReply writeOutputCoefficients(const QByteArray& r, HartTransmitterState& s)
{
    s.outputGain = floatAt(r, 0);
    s.outputOffset = floatAt(r, 4);
    return ok(r.left(8));
}

HartSlaveReply currentOutput(const QByteArray&, HartTransmitterState& s)
{
    return ok(QByteArray(1, char(s.currentOutputType)) + char(s.alarmLevel)
              + floats({s.alarmCurrentLow, s.alarmCurrentHigh}));
}

HartSlaveReply writeCurrentOutput(const QByteArray& r, HartTransmitterState& s)
{
    constexpr quint8 WrongOutputType = 12;
    constexpr quint8 WrongAlarmLevel = 13;
    if (byteAt(r, 0) > 3)
        return refuse(WrongOutputType);
    if (byteAt(r, 1) > 3)
        return refuse(WrongAlarmLevel);
    s.currentOutputType = byteAt(r, 0);
    s.alarmLevel = byteAt(r, 1);
    s.alarmCurrentLow = floatAt(r, 2);
    s.alarmCurrentHigh = floatAt(r, 6);
    return ok(r.left(10));
}

HartSlaveReply sqrtCharacteristic(const QByteArray&, HartTransmitterState& s)
{
    return ok(floats({s.sqrtLinearizationThreshold, s.sqrtCutoffThreshold, s.sqrtHysteresisWidth}));
}

HartSlaveReply writeSqrtCharacteristic(const QByteArray& r, HartTransmitterState& s)
{
    s.sqrtLinearizationThreshold = floatAt(r, 0);
    s.sqrtCutoffThreshold = floatAt(r, 4);
    s.sqrtHysteresisWidth = floatAt(r, 8);
    return ok(r.left(12));
}

HartSlaveReply display(const QByteArray&, HartTransmitterState& s)
{
    return ok(QByteArray(1, char(s.menuLanguage)) + char(s.displayDecimals) + char(s.displayMode));
}

HartSlaveReply writeDisplay(const QByteArray& r, HartTransmitterState& s)
{
    constexpr quint8 WrongLanguage = 8;
    constexpr quint8 TooManyDecimals = 9;
    constexpr quint8 WrongMode = 10;
    if (byteAt(r, 0) > 1)
        return refuse(WrongLanguage);
    if (byteAt(r, 1) > 5)
        return refuse(TooManyDecimals);
    if (byteAt(r, 2) > 2)
        return refuse(WrongMode);
    s.menuLanguage = byteAt(r, 0);
    s.displayDecimals = byteAt(r, 1);
    s.displayMode = byteAt(r, 2);
    return ok(r.left(3));
}

HartSlaveReply protection(const QByteArray&, HartTransmitterState& s)
{
    QByteArray d;
    putWord(d, s.menuPassword);
    return ok(d + char(s.reedZeroing));
}

HartSlaveReply writeProtection(const QByteArray& r, HartTransmitterState& s)
{
    // The zeroing byte holds two permissions: bit 0 by the reed switch, bit 1 by the button.
    constexpr quint8 WrongZeroing = 8;
    if (byteAt(r, 2) > 3)
        return refuse(WrongZeroing);
    s.menuPassword = wordAt(r, 0);
    s.reedZeroing = byteAt(r, 2);
    return ok(r.left(3));
}

// Action 0 arms the restore, action 1 carries it out.
HartSlaveReply restoreFactorySettings(const QByteArray& r, HartTransmitterState& s)
{
    constexpr quint8 RestoreFailed = 8;
    const quint8 action = byteAt(r, 0);
    if (action > 1)
        return refuse(InvalidData);
    if (action == 1 && !s.factoryResetArmed)
        return refuse(RestoreFailed);
    if (action == 1)
        s.restoreFactorySettings();
    s.factoryResetArmed = action == 0;
    return ok(r.left(1));
}

const std::map<int, Command>& commands()
{
    static const std::map<int, Command> table = {
        {0, {0, Kind::Read, identity}},
        {1, {0, Kind::Read, primaryVariable}},
        {6, {1, Kind::Write, writePollingAddress}},
        {7, {0, Kind::Read, loopConfiguration}},
        {12, {0, Kind::Read, readBlock<&HartTransmitterState::message>}},
        {13, {0, Kind::Read, readTagDescriptorDate}},
        {14, {0, Kind::Read, sensorLimits}},
        {15, {0, Kind::Read, deviceInformation}},
        {17, {24, Kind::Write, writeBlock<&HartTransmitterState::message, 24>}},
        {18, {21, Kind::Write, writeTagDescriptorDate}},
        {20, {0, Kind::Read, readBlock<&HartTransmitterState::longTag>}},
        {22, {32, Kind::Write, writeBlock<&HartTransmitterState::longTag, 32>}},
        {34, {4, Kind::Write, writeDamping}},
        {35, {9, Kind::Write, writeRange}},
        {38, {0, Kind::Action, resetConfigurationChanged}},
        {40, {4, Kind::Action, fixCurrent}},
        {42, {0, Kind::Free, deviceReset}},
        {43, {0, Kind::Write, setZero}},
        {44, {1, Kind::Write, writeUnit}},
        {45, {4, Kind::Write, trimCurrentZero}},
        {46, {4, Kind::Write, trimCurrentGain}},
        {47, {1, Kind::Write, writeTransferFunction}},
        {48, {0, Kind::Read, additionalStatus}},
        {59, {1, Kind::Write, writeResponsePreambles}},
        {80, {1, Kind::Read, trimPoints}},
        {81, {1, Kind::Read, trimGuidelines}},
        {82, {7, Kind::Write, trimPoint}},
        {83, {1, Kind::Write, resetTrim}},
        {122, {0, Kind::Read, outputCoefficients}},
        {123, {8, Kind::Write, writeOutputCoefficients}},
        {128, {0, Kind::Read, currentOutput}},
        {129, {10, Kind::Write, writeCurrentOutput}},
        {130, {0, Kind::Read, sqrtCharacteristic}},
        {131, {12, Kind::Write, writeSqrtCharacteristic}},
        {132, {0, Kind::Read, display}},
        {133, {3, Kind::Write, writeDisplay}},
        {134, {0, Kind::Read, protection}},
        {135, {3, Kind::Write, writeProtection}},
        {136, {1, Kind::Write, restoreFactorySettings}},
        {145, {0, Kind::Read, readFloat<&HartTransmitterState::scaleShiftA>}},
        {146, {4, Kind::Write, writeFloat<&HartTransmitterState::scaleShiftA>}},
        {147, {0, Kind::Read, readFloat<&HartTransmitterState::scaleShiftB>}},
        {148, {4, Kind::Write, writeFloat<&HartTransmitterState::scaleShiftB>}},
    };
    return table;
}

bool variantLacks(HartVariant variant, int command)
{
    constexpr int LastCommonCommand = 127;
    switch (variant) {
    case HartVariant::Foreign:
        return command > LastCommonCommand || (command >= 80 && command <= 83);
    case HartVariant::NoCurrentTrim:
        return command == 45 || command == 46;
    case HartVariant::Hart5:
        return command == 20 || command == 22;
    default:
        return false;
    }
}

}  // namespace

HartSlaveReply HartSlaveCommands::execute(int command, const QByteArray& request, HartTransmitterState& state)
{
    const auto it = commands().find(command);
    if (it == commands().end() || variantLacks(state.variant, command))
        return refuse(NotImplemented);
    const Command& c = it->second;
    if (request.size() < c.requestBytes)
        return refuse(TooFewBytes);
    const bool guarded = c.kind == Kind::Write || c.kind == Kind::Action;
    if (guarded && state.writeProtect != 0)
        return refuse(WriteProtected);
    const HartSlaveReply reply = c.run(request, state);
    if (reply.code == 0 && c.kind == Kind::Write) {
        ++state.configChangeCounter;
        state.configChanged = true;
    }
    return reply;
}
