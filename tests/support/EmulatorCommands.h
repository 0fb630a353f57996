#pragma once

#include "CalibratorEmulator.h"

#include <QStringList>

// The command texts the emulator received, oldest first ("10;14;3;3").
inline QStringList emulatorCommands(const CalibratorEmulator& emulator)
{
    QStringList commands;
    for (const EmulatorRequest& request : emulator.requests())
        commands << request.command;
    return commands;
}
