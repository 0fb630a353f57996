// Runs value reads against the emulator, unpaced and paced at the 9600-baud byte time, and prints
// the mean time of one exchange on the open port; the paced reads are timed in 8 runs, each beside
// the wire time of every byte of the exchange, the request's and the reply's.
#include "AsciiUail.h"
#include "DeviceTestBench.h"
#include "Spread.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <cstdio>

namespace {

constexpr double byteTimeMs = 1.0417;
constexpr int pacedRuns = 8;

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

    const int requestBytes = AsciiUail::makePackage("1;5", 1).size();
    const QByteArray replyBody = "1;" + reading.toLatin1() + ';';
    const int replyBytes = 1 + replyBody.size() + QByteArray::number(AsciiUail::crc16(replyBody)).size() + 1;
    const double wireMs = (requestBytes + replyBytes) * byteTimeMs;

    const double unpaced = meanExchangeMs(device, count);
    emulator.setPaced(true);
    const int pacedCount = qMax(count / 4, 10);
    std::vector<double> ratios;
    for (int run = 0; run < pacedRuns; ++run)
        ratios.push_back(meanExchangeMs(device, pacedCount) / wireMs);
    const Spread paced = Spread::of(ratios);

    std::printf("exchange: %d request bytes + %d reply bytes on the wire, %.2f ms\n", requestBytes, replyBytes, wireMs);
    std::printf("unpaced: %.3f ms per exchange (goal < 3 ms)\n", unpaced);
    std::printf("paced, %d runs of %d: median %.2f ms per exchange, ratio %.3f (runs %.3f to %.3f; goal: every run <= 1.10)\n",
                pacedRuns, pacedCount, paced.median * wireMs, paced.median, paced.least, paced.greatest);
    return 0;
}
