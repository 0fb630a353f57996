#include "HartTransmitterOptions.h"

int HartTransmitterOptions::responseCodeFor(int command) const
{
    return responseCodes.value(command, responseCodes.value(AnyCommand, -1));
}

HartFault HartTransmitterOptions::faultFor(int command) const
{
    return faults.value(command, faults.value(AnyCommand, HartFault::None));
}

int HartTransmitterOptions::delayFor(int command) const
{
    return commandDelaysMs.value(command, commandDelaysMs.value(AnyCommand, 0));
}
