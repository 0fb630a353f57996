#include "PacedHartBench.h"

#include "DeviceTestBench.h"
#include "PollController.h"

#include <cstdio>

bool PacedHartBench::prepare(DeviceTestBench& rig)
{
    CalibratorEmulator& emulator = rig.emulator();
    if (!rig.connectWithTransmitter()) {
        std::fprintf(stderr, "the emulated calibrator did not connect\n");
        return false;
    }
    DeviceZFN& device = rig.device();
    if (!device.checkHartConnection(false)) {
        std::fprintf(stderr, "no transmitter\n");
        return false;
    }
    emulator.setPaced(true);
    HartTransmitterOptions options;
    options.paced = true;
    emulator.hartTransmitter().setOptions(options);
    device.pollController()->debugLog = true;
    return true;
}
