#pragma once

#include <QString>
#include <QStringList>
#include <array>

// Display names of HART transmitters by expanded device type: manufacturer code × 256 + device
// type code. The table holds the transmitters this workstation knows by name; every other key
// shows the fallback name, the last entry of g_hartDeviceTypeNames.

// Transmitters whose device-specific page differs from the common one.
constexpr quint32 hartTypeWriteProtection = 0x1A01;
constexpr quint32 hartTypeNoPassword = 0x1A02;
constexpr quint32 hartTypeButtonZeroing = 0x1A03;

constexpr std::array<quint32, 3> g_hartDeviceTypeKeys = {
    hartTypeWriteProtection,
    hartTypeNoPassword,
    hartTypeButtonZeroing,
};

// Entry i names key i; one entry more than there are keys: the fallback.
extern const QStringList g_hartDeviceTypeNames;

const QString& hartDeviceTypeName(quint32 key);
