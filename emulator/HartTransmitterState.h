#pragma once

#include "HartVariant.h"

#include <QByteArray>
#include <QtGlobal>

// What the emulated transmitter holds: identity, texts, range, output and trim data, numbers in
// host order. Byte blocks keep the sizes they have on the wire.
struct HartTransmitterState
{
    HartVariant variant = HartVariant::Family;

    quint8 manufacturerCode = 0;
    quint8 deviceTypeCode = 0;
    QByteArray deviceId;  // 3 bytes
    quint8 requestPreambles = 5;
    quint8 universalRevision = 7;
    quint8 deviceRevision = 1;
    quint8 softwareRevision = 3;
    quint8 hardwareRevisionSignalling = 0x10;  // revision 2, Bell 202 current
    quint8 identityFlags = 0;
    quint8 responsePreambles = 5;
    quint8 maxDeviceVariables = 3;
    quint16 configChangeCounter = 0;
    quint8 extendedDeviceStatus = 0;
    quint16 manufacturerIdCode = 0;
    quint16 privateLabelCode = 0;
    quint8 deviceProfile = 1;
    quint8 pollingAddress = 0;
    quint8 loopCurrentMode = 1;

    QByteArray tag;         // 6 bytes, packed ASCII
    QByteArray descriptor;  // 12 bytes, packed ASCII
    QByteArray date;        // day, month, year - 1900
    QByteArray message;     // 24 bytes, packed ASCII
    QByteArray longTag;     // 32 bytes, Latin-1

    QByteArray sensorSerial;  // 3 bytes
    quint8 sensorLimitsUnit = 12;
    float sensorUpperLimit = 2500.0f;
    float sensorLowerLimit = -100.0f;
    float minimumSpan = 25.0f;

    quint8 alarmSelection = 0;
    quint8 transferFunction = 0;
    quint8 rangeUnit = 12;
    float upperRangeValue = 1000.0f;
    float lowerRangeValue = 0.0f;
    float damping = 0.5f;
    quint8 writeProtect = 0;
    quint8 privateLabelDistributor = 0;
    quint8 analogChannelFlags = 0;

    quint8 pvUnit = 12;
    float pvValue = 250.0f;

    bool fixedCurrentMode = false;
    float fixedCurrent = 0.0f;
    bool configChanged = false;
    // Status bit 0x10 stays set until command 48 has been read.
    bool moreStatusAvailable = false;
    bool burstMode = false;
    QByteArray additionalStatus;  // 25 bytes

    quint8 currentOutputType = 1;
    quint8 alarmLevel = 0;
    float alarmCurrentLow = 3.6f;
    float alarmCurrentHigh = 22.5f;
    float sqrtLinearizationThreshold = 1.0f;
    float sqrtCutoffThreshold = 0.25f;
    float sqrtHysteresisWidth = 0.1f;
    quint8 menuLanguage = 0;
    quint8 displayDecimals = 2;
    quint8 displayMode = 0;
    quint16 menuPassword = 0;
    quint8 reedZeroing = 1;
    float scaleShiftA = 0.0f;
    float scaleShiftB = 0.0f;
    bool factoryResetArmed = false;

    quint8 trimUnit = 12;
    float trimPointLower = 0.0f;
    float trimPointUpper = 1000.0f;
    quint8 guideTrimPoints = 3;
    float guideMinLower = -100.0f;
    float guideMaxLower = 100.0f;
    float guideMinUpper = 500.0f;
    float guideMaxUpper = 2500.0f;
    float guideMinDifferential = 25.0f;

    // The output stage: the transmitter drives gain × target + offset, which the hardware turns
    // into dacScale × that + dacShift milliamperes on the loop.
    float outputGain = 1.0f;
    float outputOffset = 0.0f;
    double dacScale = 1.0;
    double dacShift = 0.0;

    static HartTransmitterState forVariant(HartVariant variant);

    // Range, unit, damping, transfer function, output, device-specific and trim values as they
    // left the factory; identity, texts and address stay.
    void restoreFactorySettings();
    // Value 20 of the calibrator: manufacturer code, device type, device identification number.
    QByteArray identity() const;
    quint8 fieldDeviceStatus() const;
    // The current the transmitter means to drive, mA: the fixed current, else the primary
    // variable's place in the range on the output type's scale.
    double targetCurrent() const;
    // The current the calibrator measures on the loop, mA.
    double loopCurrent() const;
};
