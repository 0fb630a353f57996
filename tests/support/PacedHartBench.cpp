#include "PacedHartBench.h"

#include "DeviceTestBench.h"
#include "PollController.h"

#include <cstdio>

bool PacedHartBench::prepare(DeviceTestBench& rig)
{
    CalibratorEmulator& emulator = rig.emulator();
    DeviceZFN& device = rig.device();
    if (!rig.connectWithTransmitter() || !device.checkHartConnection(false)) {
        std::fprintf(stderr, "the emulated calibrator or its transmitter was not found\n");
        return false;
    }
    emulator.setPaced(true);
    HartTransmitterOptions options;
    options.paced = true;
    emulator.hartTransmitter().setOptions(options);
    device.pollController()->debugLog = true;
    return true;
}
