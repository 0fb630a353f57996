// What a stop that cuts a poll read costs the operator's next step, at once and after a pause of a
// second: the first cycle after "Старт", and a search over the calibrator's port. Each is timed beside the same
// step with nothing cut before it and beside the calibrator's answer time (one value read, paced
// at the 9600-baud byte time), since the cut read's reply is waited for and no longer.
#include "DeviceTestBench.h"
#include "PollController.h"
#include "Spread.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>
#include <cstdio>
#include <functional>

namespace {

constexpr int runs = 8;
constexpr int waitMs = 60000;

bool hasRead(CalibratorEmulator& emulator)
{
    const QList<EmulatorRequest> requests = emulator.requests();
    return std::any_of(requests.cbegin(), requests.cend(), [](const EmulatorRequest& r) { return r.command == "1;1"; });
}

// Polls until a read of the reference has left, and stops then, its reply still to come; with
// nothing to cut, polls one whole cycle and stops between cycles.
void stopPolling(DeviceTestBench& bench, bool cut, int pauseMs)
{
    DeviceZFN& device = bench.device();
    QSignalSpy cycles(&device, &DeviceZFN::pollUpdateSignal);
    device.startPoll();
    cycles.wait(waitMs);
    bench.emulator().clearRequests();
    if (cut && !QTest::qWaitFor([&] { return hasRead(bench.emulator()); }, waitMs))
        std::fprintf(stderr, "no read to cut\n");
    device.stopPoll();
    QTest::qWait(pauseMs);
}

double firstCycleMs(DeviceTestBench& bench)
{
    DeviceZFN& device = bench.device();
    QSignalSpy cycles(&device, &DeviceZFN::pollUpdateSignal);
    QElapsedTimer timer;
    timer.start();
    device.startPoll();
    cycles.wait(waitMs);
    const double ms = double(timer.nsecsElapsed()) / 1e6;
    device.stopPoll();
    return ms;
}

// The search releases the calibrator, asks its port, and the bench connects it again.
double searchMs(DeviceTestBench& bench)
{
    DeviceZFN& device = bench.device();
    QSignalSpy finished(&device, &DeviceZFN::searchFinished);
    QElapsedTimer timer;
    timer.start();
    device.startSearch(0, 0);
    finished.wait(waitMs);
    const double ms = double(timer.nsecsElapsed()) / 1e6;
    if (g_foundDevices.size() != 1)
        std::fprintf(stderr, "the search found %d calibrators\n", int(g_foundDevices.size()));
    device.connectToDevice(0);
    return ms;
}

Spread timed(DeviceTestBench& bench, bool cut, int pauseMs, const std::function<double(DeviceTestBench&)>& step)
{
    std::vector<double> figures;
    for (int run = 0; run < runs; ++run) {
        stopPolling(bench, cut, pauseMs);
        figures.push_back(step(bench));
    }
    return Spread::of(figures);
}

double answerMs(DeviceZFN& device)
{
    std::vector<double> figures;
    for (int run = 0; run < runs; ++run) {
        QElapsedTimer timer;
        timer.start();
        device.readValues(1);
        figures.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    return Spread::of(figures).median;
}

void report(DeviceTestBench& bench, const char* what, int pauseMs, const std::function<double(DeviceTestBench&)>& step,
            double answer)
{
    const Spread cut = timed(bench, true, pauseMs, step);
    const Spread clean = timed(bench, false, pauseMs, step);
    std::printf("%-28s %4d ms pause: %7.1f ms after a cut read (runs %.1f to %.1f), %7.1f ms with nothing cut; difference %.1f ms, "
                "%.2f of the answer time\n",
                what, pauseMs, cut.median, cut.least, cut.greatest, clean.median, cut.median - clean.median,
                (cut.median - clean.median) / answer);
}

}  // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    DeviceTestBench bench;
    CalibratorEmulator& emulator = bench.emulator();
    emulator.setPaced(true);
    emulator.setValue("1", "0.4");
    emulator.setValue("5", "12");
    if (!bench.connectTo(0))
        return 1;
    DeviceZFN& device = bench.device();
    device.pollController()->debugLog = qEnvironmentVariableIsSet("BENCH_DEBUG");
    const double answer = answerMs(device);
    std::printf("calibrator paced at 9600 baud: one value read answered in %.1f ms; %d runs of each\n", answer, runs);
    for (const int pauseMs : {0, 1000}) {
        report(bench, "first cycle after \"Старт\"", pauseMs, firstCycleMs, answer);
        report(bench, "search after \"Стоп\"", pauseMs, searchMs, answer);
    }
    return 0;
}
