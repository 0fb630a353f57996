// Times a device search over N answering emulators (paced at the 9600-baud byte time) and over N
// silent ones, and prints the cost per port beside its floor: wire time plus the 20 ms of silence
// that ends an identify reply, or the 2000 ms read time-out of a silent port.
#include "AsciiUail.h"
#include "CalibratorEmulator.h"
#include "DeviceZFN.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QStringList>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

constexpr double byteTimeMs = 1.0417;
constexpr double silenceRuleMs = 20.0;
constexpr double silentPortMs = 2000.0;

double searchMs(DeviceZFN& device, std::vector<std::unique_ptr<CalibratorEmulator>>& emulators)
{
    QStringList entries;
    for (size_t i = 0; i < emulators.size(); ++i)
        entries << QStringLiteral("COM%1=%2").arg(i + 1).arg(emulators[i]->portPath());
    qputenv("ZFN_PORTS", entries.join(';').toUtf8());
    device.refreshPortList();
    QSignalSpy finished(&device, &DeviceZFN::searchFinished);
    QElapsedTimer timer;
    timer.start();
    device.startSearch(0, int(emulators.size()) - 1);
    finished.wait(600000);
    return double(timer.nsecsElapsed()) / 1e6;
}

std::vector<std::unique_ptr<CalibratorEmulator>> makeEmulators(int count, bool silent)
{
    std::vector<std::unique_ptr<CalibratorEmulator>> emulators;
    for (int i = 0; i < count; ++i) {
        emulators.push_back(std::make_unique<CalibratorEmulator>());
        emulators.back()->setPaced(true);
        emulators.back()->setSilent(silent);
        emulators.back()->start();
    }
    return emulators;
}

}  // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const int count = argc > 1 ? QByteArray(argv[1]).toInt() : 8;
    DeviceZFN::setPopUpSink([](const QString&) {});
    DeviceZFN device;
    device.init();
    device.setFlag(DeviceZFN::SearchPortRange, true);

    QByteArray request;
    AsciiUail::makeSearchPackage(0, request);
    const QByteArray replyBody("1;$70;");
    const int replyBytes = 1 + replyBody.size() + QByteArray::number(AsciiUail::crc16(replyBody)).size() + 1;
    // The pseudo-terminal takes the request at once; only the emulator's reply is paced.
    const double answeringFloorMs = replyBytes * byteTimeMs + silenceRuleMs;

    auto answering = makeEmulators(count, false);
    const double answeringMs = searchMs(device, answering) / count;
    const int found = g_foundDevices.size();
    auto silent = makeEmulators(qMin(count, 3), true);
    const double silentMs = searchMs(device, silent) / double(silent.size());

    std::printf("answering ports: %d found of %d, %.1f ms per port, floor %.1f ms (%d-byte paced reply + 20 ms silence), ratio %.3f (goal <= 1.2)\n",
                found, count, answeringMs, answeringFloorMs, replyBytes, answeringMs / answeringFloorMs);
    std::printf("silent ports: %.1f ms per port, time-out %.0f ms, ratio %.3f (goal: under 2100 ms)\n", silentMs,
                silentPortMs, silentMs / silentPortMs);
    return 0;
}
