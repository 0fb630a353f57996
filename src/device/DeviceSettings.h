#pragma once

#include <QString>
#include <QtEndian>
#include <QByteArray>
#include <QtGlobal>
#include <array>
#include <cstring>

// The calibrator's settings block: bytes 0-49 the image of its settings registers (read from
// registers 16 and 48, multi-byte values little-endian, pressures in kPa), then the 24 V switch,
// the HART modem switch, the reference-module choice, the module temperature (53-56) and the
// calibrator's serial number (57-60). The device object's block is written under its mutex.
class DeviceSettings
{
public:
    static constexpr int Size = 61;
    static constexpr int FirstImageBytes = 32;   // register 16
    static constexpr int SecondImageFirst = 32;  // register 48
    static constexpr int SecondImageBytes = 18;
    static constexpr int YearByte = 0;
    static constexpr int AveragingByte = 3;
    static constexpr int DigitsByte = 4;
    static constexpr int VoltageByte = 5;
    static constexpr int RelayTestByte = 6;
    static constexpr int BuzzerByte = 7;
    static constexpr int AutoOffByte = 8;
    static constexpr int ModuleUnitByte = 9;
    static constexpr int VerifiedUnitByte = 10;
    static constexpr int CurrentInputByte = 11;
    static constexpr int VerifiedUpperByte = 16;
    static constexpr int VerifiedLowerByte = 20;
    static constexpr int ModuleUpperByte = 24;
    static constexpr int ModuleLowerByte = 28;
    static constexpr int VerifiedSerialByte = 32;
    static constexpr int ModuleSerialByte = 36;
    static constexpr int DisplayCodeByte = 48;
    static constexpr int AlarmByte = 49;
    static constexpr int Supply24VByte = 50;
    static constexpr int HartModemByte = 51;
    static constexpr int ModuleChoiceByte = 52;
    static constexpr int ModuleTemperatureByte = 53;
    static constexpr int CalibratorSerialByte = 57;
    // Unit codes are the unit index + 5.
    static constexpr int UnitCodeOffset = 5;

    std::array<quint8, Size> bytes{};

    bool isHartEnabled() const { return bytes[HartModemByte] != 0; }
    // An unknown unit code gives an index outside 0..10.
    int etalonUnitIndex() const { return int(bytes[ModuleUnitByte]) - UnitCodeOffset; }
    int verifiablePdUnitIndex() const { return int(bytes[VerifiedUnitByte]) - UnitCodeOffset; }
    void setVerifiablePdUnitIndex(quint8 index) { bytes[VerifiedUnitByte] = quint8(index + UnitCodeOffset); }

    float floatAt(int offset) const
    {
        const quint32 raw = qFromLittleEndian<quint32>(bytes.data() + offset);
        float value;
        std::memcpy(&value, &raw, sizeof value);
        return value;
    }
    void setFloatAt(int offset, float value)
    {
        quint32 raw;
        std::memcpy(&raw, &value, sizeof raw);
        qToLittleEndian(raw, bytes.data() + offset);
    }
    quint32 u32At(int offset) const { return qFromLittleEndian<quint32>(bytes.data() + offset); }
    // Bytes of the register image as the calibrator takes them: upper-case hexadecimal text.
    QByteArray imageHex(int first, int count) const
    {
        return QByteArray(reinterpret_cast<const char*>(bytes.data() + first), count).toHex().toUpper();
    }
    void setU32At(int offset, quint32 value) { qToLittleEndian(value, bytes.data() + offset); }
};

// The device object's block, reached through the process-wide device object. The caller holds the
// device mutex or knows that no settings worker runs.
int etalonUnitIndex();
int verifiablePdUnitIndex();
void setVerifiablePdUnitIndex(quint8 index);
QString etalonUnitName();
