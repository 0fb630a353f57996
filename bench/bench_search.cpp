// Times a device search over N answering emulators (paced at the 9600-baud byte time) and over N
// silent ones, and prints the cost per port beside its floor: the wire time of the identify request
// and its reply plus the 20 ms of silence that ends an identify reply, or the 2000 ms read time-out
// of a silent port.
#include "AsciiUail.h"
#include "DeviceTestBench.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSignalSpy>
#include <cstdio>

namespace {

constexpr double byteTimeMs = 1.0417;
constexpr double silenceRuleMs = 20.0;
constexpr double silentPortMs = 2000.0;

// Emulators 0..count-1 of the bench answer, the rest are silent; only the chosen ones are scanned.
double searchMs(DeviceTestBench& bench, int first, int last)
{
    QSignalSpy finished(&bench.device(), &DeviceZFN::searchFinished);
    QElapsedTimer timer;
    timer.start();
    bench.device().startSearch(first, last);
    finished.wait(600000);
    return double(timer.nsecsElapsed()) / 1e6;
}

}  // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const int count = argc > 1 ? QByteArray(argv[1]).toInt() : 8;
    const int silentCount = qMin(count, 3);
    DeviceTestBench bench(count + silentCount);
    for (int i = 0; i < count + silentCount; ++i) {
        bench.emulator(i).setPaced(true);
        bench.emulator(i).setSilent(i >= count);
    }
    bench.device().setFlag(DeviceZFN::SearchPortRange, true);

    const QByteArray replyBody("1;$70;");
    const int replyBytes = 1 + replyBody.size() + QByteArray::number(AsciiUail::crc16(replyBody)).size() + 1;

    const double answeringMs = searchMs(bench, 0, count - 1) / count;
    const int found = g_foundDevices.size();
    const QList<EmulatorRequest> requests = bench.emulator(0).requests();
    const int requestBytes = requests.isEmpty() ? 0 : requests.first().frame.size();
    if (requests.size() != 1)
        std::fprintf(stderr, "the first port got %d requests, not one\n", int(requests.size()));
    const double answeringFloorMs = (requestBytes + replyBytes) * byteTimeMs + silenceRuleMs;
    const double silentMs = searchMs(bench, count, count + silentCount - 1) / silentCount;

    std::printf("answering ports: %d found of %d, %.1f ms per port, floor %.1f ms (%d request + %d reply bytes + 20 ms "
                "silence), ratio %.3f (goal <= 1.2)\n",
                found, count, answeringMs, answeringFloorMs, requestBytes, replyBytes, answeringMs / answeringFloorMs);
    std::printf("silent ports: %.1f ms per port, time-out %.0f ms, ratio %.3f (goal: under 2100 ms)\n", silentMs,
                silentPortMs, silentMs / silentPortMs);
    return 0;
}
