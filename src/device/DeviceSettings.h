#pragma once

#include <QtGlobal>
#include <array>

// The calibrator's settings block: bytes 0-49 the image of its settings registers (read from
// registers 16 and 48), then the 24 V switch, the HART modem switch, the reference-module choice,
// the module temperature (53-56) and the calibrator's serial number (57-60).
class DeviceSettings
{
public:
    static constexpr int Size = 61;
    static constexpr int ModuleUnitByte = 9;
    static constexpr int Supply24VByte = 50;
    static constexpr int HartModemByte = 51;
    static constexpr int ModuleChoiceByte = 52;

    std::array<quint8, Size> bytes{};

    bool isHartEnabled() const { return bytes[HartModemByte] != 0; }
    // The module's unit code is the unit index + 5; an unknown code gives an index outside 0..10.
    int etalonUnitIndex() const { return int(bytes[ModuleUnitByte]) - 5; }
};
