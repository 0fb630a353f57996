#pragma once

#include <QByteArray>
#include <QtGlobal>

class DeviceSettings;
class HartDeviceData;
class HartMaster;
class PollController;

// The numbered HART operations: fixed command sequences with the rules on which failures end
// them, what they write back into the calibrator and which operation follows. Run by the HART
// master in the thread that holds the port; values to write come from the master's staged copy.
class HartAlgoritm
{
public:
    // Field device status bit: more status available (command 48).
    static constexpr quint8 MoreStatusAvailable = 0x10;

    struct FollowOn
    {
        int algorithm = 0;  // 0: none
        bool flag = false;
    };

    HartAlgoritm(HartMaster& master, PollController& work);

    // Known numbers only; a write needs a change in the low byte of its mask.
    static bool accepts(int algorithm, int fieldMask);
    static int steps(int algorithm, int fieldMask);
    static FollowOn followOn(int algorithm);
    static bool consumesMeasuredCurrents(int algorithm);

    bool run(int algorithm);

    bool readInformation();
    bool writeInformation();
    bool resetDevice();
    bool resetConfigChanged();
    bool writePollingAddress();
    bool readParametrs();
    bool writeParametrs();
    bool setZero();
    bool readSpecific();
    bool writeSpecific();
    bool factorySettings();
    bool readTrimByTwoPoints();
    bool clearTrimByTwoPoints();
    bool nextTrimByTwoPoints();
    bool readCurrentOutput();
    bool fixedCurrent();
    bool trimCurrentLo();
    bool trimCurrentHi();
    bool readAdditionalStatus();
    bool readProcessVariable();
    bool identify();
    bool readSqrtCharacteristic();
    // The current-output trim of a transmitter without commands 45 and 46: new output coefficients
    // from the two currents the calibrator measured.
    bool writeTrimCoefficients();

private:
    struct Operation;
    static const Operation* operation(int algorithm);

    bool send(quint8 command, bool acceptDeviceError, bool showDeviceError);
    bool sendByte(quint8 command, quint8 value, bool acceptDeviceError, bool showDeviceError);
    bool writeStaged(quint8 command, bool acceptDeviceError, bool showDeviceError);
    bool sentWithCodeZero(quint8 command, bool acceptDeviceError, bool showDeviceError);
    bool trimCurrent(quint8 command);
    bool restoreAndReread();
    bool anyGroupSupported() const;
    void applyOutputDefaults();
    void applySqrtDefaults();
    // Writes the confirmed unit and range into the calibrator's settings registers; the device's
    // block takes what the calibrator took.
    void updateCalibrator(bool unit, bool range, const HartDeviceData& values, bool closeWrite);
    // Whether every register took its part; taken gets each part that was.
    bool writeSettingsRegisters(const DeviceSettings& block, bool closeWrite, DeviceSettings& taken);
    quint8 mask() const;

    HartMaster& m_master;
    PollController& m_work;
};
