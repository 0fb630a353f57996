#include "HartTransmitterState.h"

#include "HartPackedAscii.h"
#include "PressureUnits.h"

namespace {

constexpr quint8 FamilyManufacturer = 0x1A;
constexpr quint8 FamilyDeviceType = 0x01;
constexpr quint8 ForeignManufacturer = 0x26;
constexpr quint8 ForeignDeviceType = 0x0D;
constexpr int AdditionalStatusBytes = 25;

constexpr quint8 StatusConfigChanged = 0x40;
constexpr quint8 StatusMoreAvailable = 0x10;
constexpr quint8 StatusCurrentFixed = 0x08;

QByteArray packed(const char* text, int size)
{
    QByteArray bytes(size, '\0');
    packAscii(QString::fromLatin1(text), reinterpret_cast<quint8*>(bytes.data()), size);
    return bytes;
}

// Output scale ends (at range low and high) of the output types 0-5, 4-20, 5-0 and 20-4 mA.
struct OutputScale
{
    double low;
    double high;
};

OutputScale outputScale(quint8 type)
{
    static const OutputScale scales[] = {{0.0, 5.0}, {4.0, 20.0}, {5.0, 0.0}, {20.0, 4.0}};
    return scales[type < 4 ? type : 1];
}

}  // namespace

HartTransmitterState HartTransmitterState::forVariant(HartVariant variant)
{
    HartTransmitterState s;
    s.variant = variant;
    const bool foreign = variant == HartVariant::Foreign;
    s.manufacturerCode = foreign ? ForeignManufacturer : FamilyManufacturer;
    s.deviceTypeCode = foreign ? ForeignDeviceType : FamilyDeviceType;
    s.manufacturerIdCode = s.manufacturerCode;
    s.privateLabelCode = s.manufacturerCode;
    s.privateLabelDistributor = s.manufacturerCode;
    if (variant == HartVariant::Hart5)
        s.universalRevision = 5;
    s.deviceId = QByteArray::fromHex("123456");
    s.tag = packed("PT-101", 6);
    s.descriptor = packed("PRESSURE SENSOR", 12);
    s.date = QByteArray::fromHex("060C7E");
    s.message = packed("EMULATED TRANSMITTER", 24);
    s.longTag = QByteArray("ZFN emulated transmitter").leftJustified(32, ' ');
    s.sensorSerial = QByteArray::fromHex("00A1B2");
    s.additionalStatus = QByteArray(AdditionalStatusBytes, '\0');
    return s;
}

void HartTransmitterState::restoreFactorySettings()
{
    const HartTransmitterState factory = forVariant(variant);
    pvValue = float(PressureUnits::convertHart(pvUnit, factory.pvUnit, double(pvValue)));
    pvUnit = factory.pvUnit;
    rangeUnit = factory.rangeUnit;
    upperRangeValue = factory.upperRangeValue;
    lowerRangeValue = factory.lowerRangeValue;
    damping = factory.damping;
    transferFunction = factory.transferFunction;
    currentOutputType = factory.currentOutputType;
    alarmLevel = factory.alarmLevel;
    alarmCurrentLow = factory.alarmCurrentLow;
    alarmCurrentHigh = factory.alarmCurrentHigh;
    sqrtLinearizationThreshold = factory.sqrtLinearizationThreshold;
    sqrtCutoffThreshold = factory.sqrtCutoffThreshold;
    sqrtHysteresisWidth = factory.sqrtHysteresisWidth;
    menuLanguage = factory.menuLanguage;
    displayDecimals = factory.displayDecimals;
    displayMode = factory.displayMode;
    menuPassword = factory.menuPassword;
    reedZeroing = factory.reedZeroing;
    scaleShiftA = factory.scaleShiftA;
    scaleShiftB = factory.scaleShiftB;
    outputGain = factory.outputGain;
    outputOffset = factory.outputOffset;
    trimPointLower = factory.trimPointLower;
    trimPointUpper = factory.trimPointUpper;
}

QByteArray HartTransmitterState::identity() const
{
    return QByteArray(1, char(manufacturerCode)) + char(deviceTypeCode) + deviceId;
}

quint8 HartTransmitterState::fieldDeviceStatus() const
{
    return quint8((configChanged ? StatusConfigChanged : 0) | (moreStatusAvailable ? StatusMoreAvailable : 0)
                  | (fixedCurrentMode ? StatusCurrentFixed : 0));
}

double HartTransmitterState::targetCurrent() const
{
    if (fixedCurrentMode)
        return double(fixedCurrent);
    const OutputScale scale = outputScale(currentOutputType);
    const double span = double(upperRangeValue) - double(lowerRangeValue);
    const double fraction = span != 0.0 ? (double(pvValue) - double(lowerRangeValue)) / span : 0.0;
    return scale.low + (scale.high - scale.low) * qBound(0.0, fraction, 1.0);
}

double HartTransmitterState::loopCurrent() const
{
    return dacScale * (double(outputGain) * targetCurrent() + double(outputOffset)) + dacShift;
}
