// Times the settings read (operation 0), the settings write with its read-back (operation 1) and a
// clock write from the settings page against an emulator paced at the 9600-baud byte time, in 8
// runs of 5 each, beside the wire time of every byte they exchange, requests and replies. The
// operations keep no pauses of their own, so the ratio shows what the workstation adds.
#include "AsciiUail.h"
#include "ChildLookup.h"
#include "DeviceTestBench.h"
#include "Spread.h"
#include "TabDeviceConfiguration.h"
#include "TestEnvironment.h"
#include "TextDiscription.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTest>
#include <atomic>
#include <functional>
#include <cstdio>

namespace {

constexpr double byteTimeMs = 1.0417;
constexpr int repeats = 5;
constexpr int runs = 8;

struct Exchange
{
    QString request;
    QByteArray reply;
};

struct Floor
{
    int requestBytes = 0;
    int replyBytes = 0;

    double ms() const { return (requestBytes + replyBytes) * byteTimeMs; }
};

Floor floorOf(const QList<Exchange>& exchanges)
{
    Floor floor;
    for (const Exchange& e : exchanges) {
        const QByteArray body = "1;" + e.reply + ';';
        floor.replyBytes += 1 + body.size() + QByteArray::number(AsciiUail::crc16(body)).size() + 1;
        floor.requestBytes += AsciiUail::makePackage(e.request, 1).size();
    }
    return floor;
}

int requestBytesReceived(const CalibratorEmulator& emulator)
{
    int bytes = 0;
    for (const EmulatorRequest& request : emulator.requests())
        bytes += request.frame.size();
    return bytes;
}

// Runs the timing 8 times and prints the median and the spread of the ratios to the floor. The
// emulator's log tells whether the requests were those the floor counts.
void print(const char* what, const std::function<double()>& meanMs, const Floor& floor, CalibratorEmulator& emulator)
{
    std::vector<double> ratios;
    for (int run = 0; run < runs; ++run) {
        emulator.clearRequests();
        ratios.push_back(meanMs() / floor.ms());
        if (requestBytesReceived(emulator) != repeats * floor.requestBytes)
            std::fprintf(stderr, "%s: %d request bytes, not %d\n", what, requestBytesReceived(emulator),
                         repeats * floor.requestBytes);
    }
    const Spread spread = Spread::of(ratios);
    std::printf("%-27s %7.1f ms  wire %7.1f ms (%4d request + %3d reply bytes)  ratio %.3f (runs %.3f to %.3f)\n",
                what, spread.median * floor.ms(), floor.ms(), floor.requestBytes, floor.replyBytes, spread.median,
                spread.least, spread.greatest);
    std::fflush(stdout);
}

QList<Exchange> readExchanges(CalibratorEmulator& emulator)
{
    return {{"10;16;2;4", emulator.registerText(16, 2)},
            {"10;48;2;4", emulator.registerText(48, 2)},
            {"10;262;0;1", emulator.registerText(262, 0)},
            {"10;274;0;1", emulator.registerText(274, 0)},
            {"10;275;0;1", emulator.registerText(275, 0)}};
}

QList<Exchange> writeExchanges(CalibratorEmulator& emulator)
{
    const QByteArray image = emulator.registerText(16, 2) + emulator.registerText(48, 2);
    QList<Exchange> exchanges{{"11;16;2;4;" + image.left(64), "$0"},
                              {"11;48;2;4;" + image.mid(64), "$0"},
                              {"11;49;0;1;0", "$0"}};
    return exchanges + readExchanges(emulator);
}

// Mean time from the start of an operation to the end of the read that closes it, stamped in the worker.
double meanOperationMs(DeviceZFN& device, int operation)
{
    std::atomic<qint64> endNs{0};
    QElapsedTimer clock;
    const auto connection = QObject::connect(
        &device, &DeviceZFN::algoritmFinished, &device,
        [&](int finished) {
            if (finished == 0)
                endNs = clock.nsecsElapsed();
        },
        Qt::DirectConnection);
    double totalMs = 0;
    for (int i = 0; i < repeats; ++i) {
        endNs = 0;
        clock.start();
        device.startAlgorithm(operation, false, 0);
        if (!QTest::qWaitFor([&] { return endNs != 0 && device.portOwner()->isFree(); }, 30000)) {
            std::fprintf(stderr, "operation %d did not end\n", operation);
            break;
        }
        totalMs += double(endNs) / 1e6;
    }
    QObject::disconnect(connection);
    return totalMs / repeats;
}

double meanClockWriteMs(TabDeviceConfiguration& tab)
{
    QPushButton* write = requireChild<QPushButton>(&tab, "pushButton_writeDateTimeToDevice");
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < repeats; ++i)
        write->click();
    return double(clock.nsecsElapsed()) / 1e6 / repeats;
}

}  // namespace

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    TestEnvironment::prepare();
    initChoiceLists();
    DeviceTestBench bench;
    TabDeviceConfiguration tab;
    if (!bench.connectTo(0)) {
        std::fprintf(stderr, "no emulated calibrator\n");
        return 1;
    }
    CalibratorEmulator& emulator = bench.emulator();
    emulator.setPaced(true);

    DeviceZFN& device = bench.device();
    std::printf("%d runs of %d, goal: every run <= 1.10\n", runs, repeats);
    print("read settings (5 requests)", [&] { return meanOperationMs(device, 0); }, floorOf(readExchanges(emulator)), emulator);
    print("write and read back (8)", [&] { return meanOperationMs(device, 1); }, floorOf(writeExchanges(emulator)), emulator);
    const QList<Exchange> clock{{"11;0;2;4;" + QByteArray(34, '0'), "$0"}, {"11;0;2;1;0", "$0"}, {"11;49;0;1;0", "$0"}};
    print("clock write (3 requests)", [&] { return meanClockWriteMs(tab); }, floorOf(clock), emulator);
    if (!bench.popUps().isEmpty() && bench.popUps().last() != QStringLiteral("Дата успешно записана."))
        std::fprintf(stderr, "unexpected message: %s\n", qPrintable(bench.popUps().last()));
    return 0;
}
