#pragma once

#include "HartSlaveReply.h"

struct HartTransmitterState;

// The HART commands the emulated transmitter knows, run on its memory. Writes echo their request
// data; a write-protected transmitter refuses them with code 7, a short request gets code 5 and a
// command the variant lacks code 64. A write that goes through counts as a configuration change.
class HartSlaveCommands
{
public:
    static HartSlaveReply execute(int command, const QByteArray& request, HartTransmitterState& state);
};
