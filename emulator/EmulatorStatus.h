#pragma once

#include <QByteArray>

// "$n" status replies of the emulator. The calibrator's own codes beyond "$0" are unknown to the
// workstation, which only shows them, so the emulator picks its own.
namespace EmulatorStatus {

constexpr int Done = 0;
constexpr int UnknownCommand = 1;
constexpr int NoSuchItem = 2;
constexpr int Malformed = 3;

inline QByteArray reply(int code)
{
    return '$' + QByteArray::number(code);
}

}  // namespace EmulatorStatus
