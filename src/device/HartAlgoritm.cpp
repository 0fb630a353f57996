#include "HartAlgoritm.h"

#include "CalibratorMap.h"
#include "DeviceSettings.h"
#include "HartBytes.h"
#include "HartChangeMask.h"
#include "HartDeviceData.h"
#include "HartMaster.h"
#include "HartRequestData.h"
#include "HartResponseCodes.h"
#include "PollController.h"
#include "PressureUnits.h"
#include "TextDiscription.h"

#include <QCoreApplication>
#include <QtEndian>
#include <algorithm>
#include <cmath>

namespace {

constexpr int MaskSteps = 0;
constexpr int NestedOnly = -1;
constexpr quint8 PollingAddressBase = 0x80;
constexpr quint8 CommandNotImplemented = 64;

// Count field of the settings image registers.
constexpr int ImageCount = 4;

struct ImagePart
{
    int reg;
    int first;
    int count;
};

const ImagePart imageParts[] = {
    {CalibratorMap::RegSettingsFirst, 0, DeviceSettings::FirstImageBytes},
    {CalibratorMap::RegSettingsSecond, DeviceSettings::SecondImageFirst, DeviceSettings::SecondImageBytes},
};

QString qtr(const char* text)
{
    return QCoreApplication::translate("QObject", text);
}

QString trimFieldsMessage()
{
    return qtr("Для данного прибора необходимо корректно заполнить все поля (мин. и макс.) перед нажатием на кнопку "
               "Подстроить!");
}

struct WriteGroup
{
    int bit;
    quint8 command;
};

struct SpecificGroup
{
    int bit;
    quint8 readCommand;
    quint8 writeCommand;
    bool HartDeviceData::*supported;
};

// In the order the transmitter is probed; writes go by mask bit.
const SpecificGroup specificGroups[] = {
    {HartChangeMask::CurrentOutput, 128, 129, &HartDeviceData::cmd128Supported},
    {HartChangeMask::SqrtCharacteristic, 130, 131, &HartDeviceData::cmd130Supported},
    {HartChangeMask::Display, 132, 133, &HartDeviceData::cmd132Supported},
    {HartChangeMask::ScaleShiftA, 145, 146, &HartDeviceData::cmd145Supported},
    {HartChangeMask::Protection, 134, 135, &HartDeviceData::cmd134Supported},
    {HartChangeMask::ScaleShiftB, 147, 148, &HartDeviceData::cmd147Supported},
};

const SpecificGroup& specificGroup(int bit)
{
    for (const SpecificGroup& group : specificGroups)
        if (group.bit == bit)
            return group;
    return specificGroups[0];
}

}  // namespace

struct HartAlgoritm::Operation
{
    int algorithm;
    int steps;
    bool (HartAlgoritm::*run)();
    FollowOn followOn;
};

namespace {
using Op = HartAlgoritm;
}

const HartAlgoritm::Operation* HartAlgoritm::operation(int algorithm)
{
    static const Operation operations[] = {
        {1, 5, &Op::readInformation, {}},
        {2, MaskSteps, &Op::writeInformation, {1, false}},
        {3, 1, &Op::resetDevice, {}},
        {4, 2, &Op::resetConfigChanged, {}},
        {5, 2, &Op::writePollingAddress, {1, false}},
        {6, 3, &Op::readParametrs, {}},
        {7, MaskSteps, &Op::writeParametrs, {6, false}},
        {8, 1, &Op::setZero, {}},
        {9, 9, &Op::readSpecific, {}},
        {10, MaskSteps, &Op::writeSpecific, {9, false}},
        {11, 7, &Op::factorySettings, {9, true}},
        {12, 2, &Op::readTrimByTwoPoints, {}},
        {13, 1, &Op::clearTrimByTwoPoints, {}},
        {14, 1, &Op::nextTrimByTwoPoints, {}},
        {16, 3, &Op::readCurrentOutput, {}},
        {17, 1, &Op::fixedCurrent, {}},
        {19, 3, &Op::trimCurrentLo, {}},
        {20, 3, &Op::trimCurrentHi, {}},
        {21, 1, &Op::readAdditionalStatus, {}},
        {22, 2, &Op::readProcessVariable, {}},
        {23, NestedOnly, &Op::identify, {}},
        {25, NestedOnly, &Op::readSqrtCharacteristic, {}},
    };
    for (const Operation& op : operations)
        if (op.algorithm == algorithm)
            return &op;
    return nullptr;
}

HartAlgoritm::HartAlgoritm(HartMaster& master, PollController& work) : m_master(master), m_work(work) {}

bool HartAlgoritm::accepts(int algorithm, int fieldMask)
{
    const Operation* op = operation(algorithm);
    return op && (op->steps != MaskSteps || steps(algorithm, fieldMask) > 0);
}

int HartAlgoritm::steps(int algorithm, int fieldMask)
{
    const Operation* op = operation(algorithm);
    if (!op)
        return 0;
    if (op->steps != MaskSteps)
        return op->steps;
    const quint8 low = quint8(fieldMask);
    return countSetBits(&low, 1);
}

HartAlgoritm::FollowOn HartAlgoritm::followOn(int algorithm)
{
    const Operation* op = operation(algorithm);
    return op ? op->followOn : FollowOn();
}

bool HartAlgoritm::consumesMeasuredCurrents(int algorithm)
{
    return algorithm == 19 || algorithm == 20;
}

bool HartAlgoritm::run(int algorithm)
{
    const Operation* op = operation(algorithm);
    return op && (this->*op->run)();
}

quint8 HartAlgoritm::mask() const
{
    return quint8(m_work.operationArgument);
}

bool HartAlgoritm::send(quint8 command, bool acceptDeviceError, bool showDeviceError)
{
    return m_master.sendHartCommandNoData(command, acceptDeviceError, showDeviceError);
}

bool HartAlgoritm::sendByte(quint8 command, quint8 value, bool acceptDeviceError, bool showDeviceError)
{
    return m_master.send(command, QByteArray(1, char(value)), acceptDeviceError, showDeviceError);
}

bool HartAlgoritm::writeStaged(quint8 command, bool acceptDeviceError, bool showDeviceError)
{
    return m_master.send(command, hartRequestData(command, m_master.staged()), acceptDeviceError, showDeviceError);
}

// A device-specific group counts as there only when its read answered with code 0.
bool HartAlgoritm::sentWithCodeZero(quint8 command, bool acceptDeviceError, bool showDeviceError)
{
    return send(command, acceptDeviceError, showDeviceError) && m_master.lastAnswer() == HartMaster::Answer::Reply
           && m_master.read().responseCode == 0;
}

bool HartAlgoritm::readInformation()
{
    m_master.hartConnect(true, false);
    if (!(send(0, false, true) && send(13, false, true) && send(12, false, true)))
        return false;
    // The decoder of command 20 marks the long tag supported, so the result published with the reply
    // already tells; a reply that decoded nothing leaves it unsupported.
    HartDeviceData& read = m_master.read();
    const bool before = read.longTagSupported;
    read.longTagSupported = false;
    send(20, false, false);
    if (m_master.lastAnswer() == HartMaster::Answer::NotSent)
        read.longTagSupported = before;
    return true;
}

// A long tag the transmitter cannot hold is left out; that is no failure.
bool HartAlgoritm::writeInformation()
{
    static const WriteGroup groups[] = {
        {HartChangeMask::TagDescriptorDate, 18},
        {HartChangeMask::Message, 17},
        {HartChangeMask::ResponsePreambles, 59},
        {HartChangeMask::LongTag, 22},
    };
    for (const WriteGroup& group : groups) {
        if (!(mask() & group.bit) || (group.command == 22 && !m_master.read().longTagSupported))
            continue;
        if (!writeStaged(group.command, true, true))
            return false;
    }
    return true;
}

bool HartAlgoritm::resetDevice()
{
    return send(42, true, true);
}

bool HartAlgoritm::resetConfigChanged()
{
    return send(0, true, true) && m_master.send(38, hartRequestData(38, m_master.read()), true, true);
}

// The calibrator learns the new address itself; the workstation waits until it reports it.
bool HartAlgoritm::writePollingAddress()
{
    if (!writeStaged(6, false, true))
        return false;
    const quint8 address = m_master.staged().newPollingAddress;
    m_master.writeParameter(QByteArray::number(address), CalibratorMap::RegHartPollAddress, qtr("HART адрес"),
                            CalibratorMap::RegTypeByte, 1);
    const HartMaster::Timing& timing = m_master.timing();
    for (int attempt = 0; attempt < timing.addressTries; ++attempt) {
        if (m_work.stopRequested)
            return false;
        if (m_master.hartConnect(true, false)
            && m_master.read().pollingAddressByte == quint8(address + PollingAddressBase))
            return m_master.pause(timing.addressSettleMs);
        if (!m_master.pause(timing.addressRetryMs))
            return false;
    }
    m_master.showMessage(qtr("Ошибка при обновлении адреса"));
    return false;
}

bool HartAlgoritm::readParametrs()
{
    return send(15, false, true) && send(14, false, true) && send(1, false, true);
}

// The range travels in the unit being set. The calibrator takes what the transmitter accepted,
// even when a later group was refused.
bool HartAlgoritm::writeParametrs()
{
    static const WriteGroup groups[] = {
        {HartChangeMask::PvUnit, 44},
        {HartChangeMask::Range, 35},
        {HartChangeMask::Damping, 34},
        {HartChangeMask::TransferFunction, 47},
    };
    HartDeviceData& staged = m_master.staged();
    staged.rangeUnit = staged.pvUnit;
    int accepted = 0;
    bool succeeded = true;
    for (const WriteGroup& group : groups) {
        if (!(mask() & group.bit))
            continue;
        succeeded = writeStaged(group.command, false, true);
        if (!succeeded)
            break;
        accepted |= group.bit;
    }
    updateCalibrator(accepted & HartChangeMask::PvUnit, accepted & HartChangeMask::Range, staged, true);
    return succeeded;
}

bool HartAlgoritm::setZero()
{
    return send(43, false, true);
}

bool HartAlgoritm::readSpecific()
{
    if (!send(1, false, false))
        return false;
    const bool probe = m_master.readSpecificInfo();
    HartDeviceData& read = m_master.read();
    for (const SpecificGroup& group : specificGroups)
        read.*group.supported = probe && sentWithCodeZero(group.readCommand, false, false);
    if (!read.cmd128Supported)
        applyOutputDefaults();
    if (!read.cmd130Supported)
        applySqrtDefaults();
    return true;
}

bool HartAlgoritm::writeSpecific()
{
    const HartDeviceData& read = m_master.read();
    for (int bit = HartChangeMask::CurrentOutput; bit <= HartChangeMask::ScaleShiftB; bit <<= 1) {
        const SpecificGroup& group = specificGroup(bit);
        if (!(mask() & bit) || !(read.*group.supported))
            continue;
        if (!writeStaged(group.writeCommand, true, true))
            return false;
    }
    return true;
}

bool HartAlgoritm::anyGroupSupported() const
{
    const HartDeviceData& read = m_master.read();
    for (const SpecificGroup& group : specificGroups)
        if (read.*group.supported)
            return true;
    return false;
}

// Only a transmitter that answered the device-specific reads knows this restore.
bool HartAlgoritm::factorySettings()
{
    if (!anyGroupSupported() || !sendByte(136, 0, false, true))
        return false;
    if (!m_master.pause(m_master.timing().factoryResetPauseMs))
        return false;
    HartDeviceData& read = m_master.read();
    read.factoryResetRunning = true;
    const bool succeeded = restoreAndReread();
    read.factoryResetRunning = false;
    return succeeded;
}

bool HartAlgoritm::restoreAndReread()
{
    HartDeviceData& read = m_master.read();
    if (!(sendByte(136, 1, false, true) && m_master.pause(m_master.timing().factoryResetPauseMs) && send(42, true, true)
          && send(7, true, true)))
        return false;
    const quint8 address = quint8(read.pollingAddressByte - PollingAddressBase);
    m_master.writeParameter(QByteArray::number(address), CalibratorMap::RegHartPollAddress, qtr("HART адрес"),
                            CalibratorMap::RegTypeByte, 1);
    m_master.reportResult(6);
    if (!(send(0, true, true) && m_master.send(38, hartRequestData(38, read), true, true)))
        return false;
    if (!send(15, false, true))
        return false;
    const bool rangeConfirmed = read.responseCode == 0;
    if (!(send(14, false, true) && send(1, false, true)))
        return false;
    const bool confirmed = rangeConfirmed && read.responseCode == 0;
    updateCalibrator(confirmed, confirmed, read, false);
    return true;
}

bool HartAlgoritm::readTrimByTwoPoints()
{
    return sendByte(81, 0, false, true) && sendByte(80, 0, false, true);
}

bool HartAlgoritm::clearTrimByTwoPoints()
{
    return sendByte(83, 0, true, true);
}

bool HartAlgoritm::nextTrimByTwoPoints()
{
    return writeStaged(82, true, true);
}

bool HartAlgoritm::readCurrentOutput()
{
    HartDeviceData& read = m_master.read();
    read.cmd128Supported = m_master.readSpecificInfo() && sentWithCodeZero(128, true, true);
    if (!read.cmd128Supported)
        applyOutputDefaults();
    m_master.reportResult(128);
    return true;
}

bool HartAlgoritm::fixedCurrent()
{
    return writeStaged(40, false, true);
}

bool HartAlgoritm::trimCurrentLo()
{
    return trimCurrent(45);
}

bool HartAlgoritm::trimCurrentHi()
{
    return trimCurrent(46);
}

// Only a transmitter that said it does not know the command gets the coefficient trim.
bool HartAlgoritm::trimCurrent(quint8 command)
{
    if (writeStaged(command, false, false))
        return m_master.leaveFixedCurrent();
    if (m_master.lastAnswer() != HartMaster::Answer::Reply)
        return false;
    if (m_master.read().responseCode == CommandNotImplemented)
        return writeTrimCoefficients() && m_master.leaveFixedCurrent();
    if (!g_hartResponseText.isEmpty())
        m_master.showMessage(g_hartResponsePrefix + g_hartResponseText);
    return false;
}

// The nominal span of a 0-5 mA output is 4.9 mA; the two measured currents must cover at least
// half of it, or the new coefficients would amplify the measuring error.
bool HartAlgoritm::writeTrimCoefficients()
{
    HartDeviceData& staged = m_master.staged();
    const HartDeviceData& read = m_master.read();
    const bool zeroToFive = (read.currentOutputType & 0xFD) == 0;
    const double high = zeroToFive ? 5.0 : 20.0;
    const double span = zeroToFive ? 4.9 : 16.0;
    const double currentLow = staged.measuredCurrentLow;
    const double currentHigh = staged.measuredCurrentHigh;
    if (!staged.measuredCurrentValid || !std::isfinite(currentLow) || !std::isfinite(currentHigh)
        || currentHigh - currentLow < span / 2) {
        m_master.showMessage(trimFieldsMessage());
        return false;
    }
    if (!m_master.leaveFixedCurrent() || !send(122, false, true))
        return false;
    const double gain = read.outputGain;
    const float newGain = float(span * gain / (currentHigh - currentLow));
    const float newOffset = float(high * gain - currentHigh * double(newGain) + double(read.outputOffset));
    if (!std::isfinite(newGain) || !std::isfinite(newOffset)) {
        m_master.showMessage(trimFieldsMessage());
        return false;
    }
    staged.outputGain = newGain;
    staged.outputOffset = newOffset;
    return writeStaged(123, false, true);
}

// Sent by the end of the operation when the status already asks for it.
bool HartAlgoritm::readAdditionalStatus()
{
    if (m_master.read().deviceStatus & MoreStatusAvailable)
        return true;
    return send(48, true, true);
}

bool HartAlgoritm::readProcessVariable()
{
    return send(15, true, true) && send(1, true, true);
}

bool HartAlgoritm::identify()
{
    return send(0, true, true);
}

// True when the range (c15, which carries the transfer function) was read; a caller keeps its
// characteristic otherwise.
bool HartAlgoritm::readSqrtCharacteristic()
{
    const bool rangeRead = send(15, true, false);
    HartDeviceData& read = m_master.read();
    read.cmd130Supported = m_master.readSpecificInfo() && sentWithCodeZero(130, true, false);
    if (!read.cmd130Supported)
        applySqrtDefaults();
    m_master.reportResult(130);
    return rangeRead;
}

void HartAlgoritm::applyOutputDefaults()
{
    HartDeviceData& read = m_master.read();
    read.currentOutputType = 1;
    read.alarmLevel = 0;
    read.alarmCurrentLow = 3.5f;
    read.alarmCurrentHigh = 24.0f;
}

void HartAlgoritm::applySqrtDefaults()
{
    HartDeviceData& read = m_master.read();
    read.sqrtLinearizationThreshold = 0.0f;
    read.sqrtCutoffThreshold = 0.0f;
    read.sqrtHysteresisWidth = 0.0f;
}

// The unit goes in first, and the range is converted from the unit it was given in. A unit the
// calibrator has no code for writes nothing.
void HartAlgoritm::updateCalibrator(bool unit, bool range, const HartDeviceData& values, bool closeWrite)
{
    if (!unit && !range)
        return;
    const QString failure = qtr("При записи параметров HART в ") + m_master.deviceName() + qtr(" произошла ошибка!");
    const int unitIndex = PressureUnits::unitFromHartCode(values.pvUnit);
    const int rangeIndex = PressureUnits::unitFromHartCode(values.rangeUnit);
    if ((unit && unitIndex < 0) || (range && rangeIndex < 0)) {
        m_master.showMessage(failure);
        return;
    }
    const DeviceSettings held = m_master.settingsSnapshot();
    DeviceSettings block = held;
    if (unit)
        block.setVerifiablePdUnitIndex(quint8(unitIndex));
    if (range) {
        block.setFloatAt(DeviceSettings::VerifiedUpperByte,
                         PressureUnits::toKpaFloat(values.upperRangeValue, quint8(rangeIndex)));
        block.setFloatAt(DeviceSettings::VerifiedLowerByte,
                         PressureUnits::toKpaFloat(values.lowerRangeValue, quint8(rangeIndex)));
    }
    DeviceSettings taken = held;
    const bool written = writeSettingsRegisters(block, closeWrite, taken);
    // A refused part stays as it was: the settings page's next write would send it otherwise.
    if (taken.bytes != held.bytes) {
        m_master.storeSettings(taken);
        emit m_master.settingsBlockChanged();
    }
    if (!written)
        m_master.showMessage(failure);
}

// Every register is written even after a refusal, so that the calibrator gets what it takes and
// the closing write always follows.
bool HartAlgoritm::writeSettingsRegisters(const DeviceSettings& block, bool closeWrite, DeviceSettings& taken)
{
    using namespace CalibratorMap;
    bool written = true;
    for (const ImagePart& part : imageParts) {
        const bool took = m_master.writeParameter(block.imageHex(part.first, part.count), part.reg, QString(),
                                                  RegTypeMemory, ImageCount);
        if (took)
            std::copy_n(block.bytes.begin() + part.first, part.count, taken.bytes.begin() + part.first);
        written &= took;
    }
    if (closeWrite)
        written &= m_master.writeParameter("0", RegSettingsClose, QString(), RegTypeByte, 1);
    return written;
}
