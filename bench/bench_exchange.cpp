// Runs N value reads against the emulator, unpaced and paced at the 9600-baud byte time, and prints
// the mean time of one exchange (port opened and closed included) beside the exchange's wire time.
#include "AsciiUail.h"
#include "DeviceTestBench.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <cstdio>

namespace {

constexpr double byteTimeMs = 1.0417;

double meanExchangeMs(DeviceZFN& device, int count)
{
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < count; ++i)
        if (!device.readValues(5))
            std::fprintf(stderr, "exchange %d failed\n", i);
    return double(timer.nsecsElapsed()) / 1e6 / count;
}

}  // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const int count = argc > 1 ? QByteArray(argv[1]).toInt() : 200;
    DeviceTestBench bench;
    CalibratorEmulator& emulator = bench.emulator();
    const QString reading = QStringLiteral("12.3456");
    emulator.setValue("5", reading);
    if (!bench.connectTo(0))
        return 1;
    DeviceZFN& device = bench.device();

    const QByteArray request = AsciiUail::makePackage("1;5", 1);
    const QByteArray replyBody = "1;" + reading.toLatin1() + ';';
    const int replyBytes = 1 + replyBody.size() + QByteArray::number(AsciiUail::crc16(replyBody)).size() + 1;
    const double replyWireMs = replyBytes * byteTimeMs;
    const double fullWireMs = (request.size() + replyBytes) * byteTimeMs;

    const double unpaced = meanExchangeMs(device, count);
    emulator.setPaced(true);
    const double paced = meanExchangeMs(device, qMax(count / 4, 10));

    std::printf("exchange: request %d bytes, reply %d bytes, wire time %.2f ms (reply alone %.2f ms)\n",
                int(request.size()), replyBytes, fullWireMs, replyWireMs);
    std::printf("unpaced: %.3f ms per exchange (goal < 3 ms)\n", unpaced);
    std::printf("paced:   %.3f ms per exchange, ratio %.3f to the paced reply time, %.3f to the full wire time (goal <= 1.10)\n",
                paced, paced / replyWireMs, paced / fullWireMs);
    return 0;
}
