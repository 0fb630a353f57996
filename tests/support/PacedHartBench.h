#pragma once

class DeviceTestBench;

// The HART benchmarks' set-up: the own transmitter behind the first emulated calibrator, found
// through the connected calibrator, then the calibrator paced at 9600 baud, the transmitter at the
// HART rate and the exchange log switched on. False, with the reason on stderr, when a step fails.
class PacedHartBench
{
public:
    static bool prepare(DeviceTestBench& rig);
};
