#pragma once

#include "CalibratorEmulator.h"
#include "ChannelRecord.h"
#include "DeviceZFN.h"
#include "PortOwner.h"

#include <initializer_list>
#include <memory>
#include <vector>

// A device object wired to emulated calibrators on pseudo-terminals, with pop-ups recorded.
class DeviceTestBench
{
public:
    explicit DeviceTestBench(int emulatorCount = 1);
    ~DeviceTestBench();

    DeviceZFN& device() { return *m_device; }
    CalibratorEmulator& emulator(int index = 0) { return *m_emulators.at(size_t(index)); }
    QStringList popUps() const { return m_popUps; }
    void clearPopUps() { m_popUps.clear(); }

    // Publishes the emulators as COM1..COMn (plus extra entries, e.g. silent ports) and refreshes the list.
    void publishPorts(const QStringList& extraEntries = {});
    // Makes emulator `index` the only found device, as if a search had found it at `address` with `type`.
    void offer(int index, int address = 1, int type = 70);
    // Connects to emulator `index` as if a search had found it at `address` with `type`. A connect
    // that fails prints the pop-ups and status texts, which say why.
    bool connectTo(int index, int address = 1, int type = 70);
    // The same on the first emulator with a transmitter behind it and the HART modem switched on.
    bool connectWithTransmitter(HartVariant variant = HartVariant::Family);
    // With a transmitter connected: a HART identity read whose transmitter takes
    // transmitterDelayMs, cut as soon as its pass-through has left, so its reply is still owed;
    // true once the port is home.
    bool cutSlowPassThrough(int transmitterDelayMs);
    // A stop may cut an exchange short with its request still on its way to the emulator, and its
    // reply on the way back. Reads a value from the GUI thread, first draining that reply however
    // late the loaded emulator sends it: once the read is answered, the emulator has logged the cut
    // request and the line is clean. False when the read got no answer.
    bool flushLine();
    // Reads the numbered values one after another from the GUI thread; a read that fails gives
    // "failed" in its place.
    QStringList readValues(std::initializer_list<int> numbers);
    // Runs fn in a worker thread that holds the serial port, as the device object's workers do.
    void runInWorker(const std::function<void()>& fn);
    void destroyDevice();
    // The current channel as the poll thread left it, read under the device mutex.
    ChannelRecord channel();

private:
    void printWhyNotConnected();

    std::unique_ptr<DeviceZFN> m_device;
    std::vector<std::unique_ptr<CalibratorEmulator>> m_emulators;
    QStringList m_popUps;
    QStringList m_statusTexts;
};
