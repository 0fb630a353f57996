#pragma once

#include "PortEntry.h"

#include <QString>

// One calibrator that answered the identify request.
struct DeviceInfo
{
    PortEntry port;
    quint8 address = 0;
    quint8 type = 0;
    QString modelName;
    QString familyName;

    DeviceInfo() = default;
    DeviceInfo(const PortEntry& port, quint8 address, quint8 type);

    static bool isKnownType(int type);
};
