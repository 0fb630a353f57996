#pragma once

class HartDeviceData;

// How the HART pages end a write: the staged copy goes to the worker with the mask of the changed
// fields, and a write that changes nothing is refused with a message.
class HartWrite
{
public:
    static void start(int algorithm, const HartDeviceData& staged, int mask);
};
