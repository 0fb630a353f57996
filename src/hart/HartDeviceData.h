#pragma once

#include <QByteArray>
#include <QtGlobal>

// Everything known about the HART transmitter behind the calibrator. The fields keep the order
// and sizes of the transmitter's reply blocks, byte-packed (so the compiler refuses a non-const
// reference to a multi-byte number). The frame parser decodes each reply field by field, numbers
// in host order.
// Written by the HART worker thread while an operation runs, read by the pages after its result.
class HartDeviceData
{
public:
    quint8 responseCode = 0;
    quint8 deviceStatus = 0;
    quint8 manufacturerCode = 0;
    quint8 deviceTypeCode = 0;
    quint8 requestPreambles = 0;
    quint8 universalRevision = 0;
    quint8 deviceRevision = 0;
    quint8 softwareRevision = 0;
    quint8 hardwareRevisionSignalling = 0;
    quint8 identityFlags = 0;
    quint8 deviceId[3] = {};
    quint8 responsePreambles = 0;
    quint8 maxDeviceVariables = 0;
    quint8 configChangeCounter[2] = {};
    quint8 extendedDeviceStatus = 0;
    quint8 manufacturerIdCode[2] = {};
    quint8 privateLabelCode[2] = {};
    quint8 deviceProfile = 0;
    quint8 tag[6] = {};
    quint8 descriptor[12] = {};
    quint8 date[3] = {};
    bool longTagSupported = false;
    quint8 longTag[32] = {};
    quint8 message[24] = {};
    quint8 sensorSerial[3] = {};
    quint8 sensorLimitsUnit = 0;
    [[gnu::packed]] float sensorUpperLimit = 0;
    [[gnu::packed]] float sensorLowerLimit = 0;
    [[gnu::packed]] float minimumSpan = 0;
    quint8 alarmSelection = 0;
    quint8 transferFunction = 0;
    quint8 rangeUnit = 0;
    [[gnu::packed]] float upperRangeValue = 0;
    [[gnu::packed]] float lowerRangeValue = 0;
    [[gnu::packed]] float damping = 0;
    quint8 writeProtect = 0;
    quint8 privateLabelDistributor = 0;
    quint8 analogChannelFlags = 0;
    quint8 pollingAddressByte = 0;
    quint8 newPollingAddress = 0;
    quint8 loopCurrentMode = 0;
    bool present = false;

    // Long-frame address; empty until the connect step or a command-0 reply has set it.
    QByteArray uniqueId;

    [[gnu::packed]] quint16 deviceTypeKey = 0;
    quint8 pvUnit = 0;
    [[gnu::packed]] float pvValue = 0;
    quint8 deviceVariables[83] = {};
    bool cmd128Supported = false;
    bool cmd130Supported = false;
    bool cmd132Supported = false;
    bool cmd145Supported = false;
    bool cmd134Supported = false;
    bool cmd147Supported = false;
    bool trimInfoRead = false;
    quint8 currentOutputType = 0;
    quint8 alarmLevel = 0;
    [[gnu::packed]] float alarmCurrentLow = 0;
    [[gnu::packed]] float alarmCurrentHigh = 0;
    [[gnu::packed]] float sqrtLinearizationThreshold = 0;
    [[gnu::packed]] float sqrtCutoffThreshold = 0;
    [[gnu::packed]] float sqrtHysteresisWidth = 0;
    quint8 menuLanguage = 0;
    quint8 displayDecimals = 0;
    quint8 displayMode = 0;
    [[gnu::packed]] quint16 menuPassword = 0;
    quint8 reedZeroing = 0;
    [[gnu::packed]] float scaleShiftA = 0;
    [[gnu::packed]] float scaleShiftB = 0;
    bool factoryResetRunning = false;
    quint8 trimVariable = 0;
    quint8 trimUnit = 0;
    [[gnu::packed]] float trimPointLower = 0;
    [[gnu::packed]] float trimPointUpper = 0;
    quint8 guideVariable = 0;
    quint8 guideTrimPoints = 0;
    quint8 guideUnit = 0;
    [[gnu::packed]] float guideMinLower = 0;
    [[gnu::packed]] float guideMaxLower = 0;
    [[gnu::packed]] float guideMinUpper = 0;
    [[gnu::packed]] float guideMaxUpper = 0;
    [[gnu::packed]] float guideMinDifferential = 0;
    quint8 trimRequest[7] = {};
    [[gnu::packed]] float fixedCurrent = 0;
    [[gnu::packed]] float trimCurrentLow = 0;
    [[gnu::packed]] float trimCurrentHigh = 0;
    [[gnu::packed]] float measuredCurrentLow = 0;
    [[gnu::packed]] float measuredCurrentHigh = 0;
    bool measuredCurrentValid = false;
    quint8 currentOutputRead[10] = {};
    [[gnu::packed]] float outputGain = 0;
    [[gnu::packed]] float outputOffset = 0;
    quint8 additionalStatus[25] = {};
};
