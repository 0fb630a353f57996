#pragma once

#include "HartFault.h"

#include <QMap>

// How the emulated transmitter answers, apart from what it holds; the calibrator's worker takes a
// copy for every command-40 request.
struct HartTransmitterOptions
{
    static constexpr int AnyCommand = -1;

    // Every reply waits the HART wire time at 1200 baud, 11 bits a character: 5 preambles, the
    // request, 5 preambles and the reply.
    bool paced = false;
    int replyDelayMs = 0;
    // HART command (or AnyCommand) -> response code. A warning code (8, 14, 24-27, 30, 31) comes
    // with the command run and its data; any other code with the command refused, without data.
    QMap<int, int> responseCodes;
    // HART command (or AnyCommand) -> fault of the reply.
    QMap<int, HartFault> faults;
    // HART command (or AnyCommand) -> extra wait before its reply, ms, after replyDelayMs.
    QMap<int, int> commandDelaysMs;

    // -1 when no code is chosen for the command.
    int responseCodeFor(int command) const;
    HartFault faultFor(int command) const;
    int delayFor(int command) const;
};
