// What the waits of the exchange cost the user when nothing answers: a silent calibrator at
// "Отключить", at a search over its port and at a connect to another calibrator; the next request
// after a cut HART pass-through or archive read whose reply never comes; and a poll on a silent
// calibrator and on a line that sends only bytes that never make a frame. Each figure is printed
// beside the time-outs it is made of. Where the emulated calibrator answers, it is paced at the
// 9600-baud byte time.
#include "BoundedWait.h"
#include "DeviceTestBench.h"
#include "PollController.h"
#include "Spread.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QThread>
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <functional>

namespace {

constexpr int runs = 5;
// For the waits of 6 s and more, so the program stays within about 3 minutes.
constexpr int longRuns = 3;
constexpr int releaseTimeoutMs = 2000;

double msSince(const QElapsedTimer& timer)
{
    return double(timer.nsecsElapsed()) / 1e6;
}

Spread timedRuns(int count, const std::function<double()>& run)
{
    std::vector<double> figures;
    for (int i = 0; i < count; ++i)
        figures.push_back(run());
    return Spread::of(figures);
}

void printRuns(const Spread& spread)
{
    std::printf("%.1f ms (runs %.1f to %.1f)", spread.median, spread.least, spread.greatest);
}

bool waitForPortFree(DeviceZFN& device)
{
    return BoundedWait::until([&device] { return device.portOwner()->isFree(); }, BoundedWait::jobMs);
}

// Watched closely, since the time from the request to what follows is measured.
bool waitForRequest(CalibratorEmulator& emulator, const QString& prefix)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < BoundedWait::stepMs) {
        const QList<EmulatorRequest> requests = emulator.requests();
        if (std::any_of(requests.cbegin(), requests.cend(),
                        [&prefix](const EmulatorRequest& request) { return request.command.startsWith(prefix); }))
            return true;
        QCoreApplication::processEvents();
        QThread::usleep(200);
    }
    std::fprintf(stderr, "no request %s left\n", qPrintable(prefix));
    return false;
}

// Connects to the first calibrator, answering, and then makes it silent.
void connectThenSilence(DeviceTestBench& bench)
{
    bench.emulator(0).setSilent(false);
    if (!bench.connectTo(0))
        std::fprintf(stderr, "the calibrator was not connected\n");
    bench.emulator(0).setSilent(true);
}

double answerMs(DeviceZFN& device)
{
    return timedRuns(8, [&device] {
               QElapsedTimer timer;
               timer.start();
               device.readValues(1);
               return msSince(timer);
           }).median;
}

Spread releaseMs(DeviceTestBench& bench)
{
    return timedRuns(runs, [&bench] {
        connectThenSilence(bench);
        QElapsedTimer timer;
        timer.start();
        bench.device().connectToDevice(-1);
        return msSince(timer);
    });
}

Spread searchMs(DeviceTestBench& bench)
{
    return timedRuns(runs, [&bench] {
        connectThenSilence(bench);
        DeviceZFN& device = bench.device();
        QSignalSpy finished(&device, &DeviceZFN::searchFinished);
        QElapsedTimer timer;
        timer.start();
        device.startSearch(0, 0);
        finished.wait(BoundedWait::jobMs);
        return msSince(timer);
    });
}

// Both calibrators are in the list; the bench connects to the first and times the connect to the
// second, the first silent or answering.
Spread connectToOtherMs(DeviceTestBench& bench, bool oldSilent)
{
    return timedRuns(runs, [&bench, oldSilent] {
        DeviceZFN& device = bench.device();
        connectThenSilence(bench);
        bench.emulator(0).setSilent(oldSilent);
        g_foundDevices.append(DeviceInfo(g_portList.at(1), 1, 70));
        QElapsedTimer timer;
        timer.start();
        device.connectToDevice(1);
        const double ms = msSince(timer);
        if (!waitForPortFree(device) || !device.isConnected())
            std::fprintf(stderr, "the other calibrator was not connected\n");
        return ms;
    });
}

void reportRelease(DeviceTestBench& bench)
{
    const Spread release = releaseMs(bench);
    std::printf("silent calibrator, \"Отключить\": ");
    printRuns(release);
    std::printf(" = the release frame's %d ms acknowledgement time-out + %.1f ms\n", releaseTimeoutMs,
                release.median - releaseTimeoutMs);
}

void reportSearch(DeviceTestBench& bench)
{
    const int identifyMs = bench.device().link()->timing().identifyTimeoutMs;
    const Spread search = searchMs(bench);
    std::printf("silent calibrator, search over its port right after connect: ");
    printRuns(search);
    std::printf(" = the release frame's %d ms acknowledgement time-out + the identify request's %d ms time-out + %.1f ms\n",
                releaseTimeoutMs, identifyMs, search.median - releaseTimeoutMs - identifyMs);
}

void reportConnectToOther(DeviceTestBench& bench)
{
    const Spread other = connectToOtherMs(bench, true);
    const Spread otherAnswered = connectToOtherMs(bench, false);
    std::printf("silent calibrator, connect to another that answers: ");
    printRuns(other);
    std::printf(" = the release frame's %d ms acknowledgement time-out + %.1f ms; the same connect with the old "
                "calibrator answering: %.1f ms\n",
                releaseTimeoutMs, other.median - releaseTimeoutMs, otherAnswered.median);
}

struct CutCost
{
    Spread callMs;
    Spread sinceLeftMs;
};

// Starts a job that makes the calibrator silent for its request of prefix, cuts the job once that
// request has left, and times a value read from the window's thread, the calibrator answering
// again: from the call, and from the moment the cut request left.
CutCost nextReadAfterCut(DeviceTestBench& bench, const std::function<bool()>& start, const QString& prefix,
                         const std::function<void()>& cut)
{
    DeviceZFN& device = bench.device();
    CalibratorEmulator& emulator = bench.emulator();
    std::vector<double> sinceLeft;
    const Spread call = timedRuns(longRuns, [&] {
        emulator.clearRequests();
        if (!start())
            std::fprintf(stderr, "the job did not start\n");
        waitForRequest(emulator, prefix);
        QElapsedTimer left;
        left.start();
        cut();
        waitForPortFree(device);
        emulator.setRequestObserver(nullptr);
        emulator.setSilent(false);
        QElapsedTimer timer;
        timer.start();
        if (!device.readValues(1))
            std::fprintf(stderr, "the value read after the cut failed\n");
        const double ms = msSince(timer);
        sinceLeft.push_back(msSince(left));
        return ms;
    });
    return {call, Spread::of(sinceLeft)};
}

// The HART identity read asks the transmitter's polling address first; the calibrator keeps silent
// from the request after it, the first pass-through. The options are taken before the observer is
// told, so the change applies to the next request.
CutCost afterCutPassThrough(DeviceTestBench& bench)
{
    DeviceZFN& device = bench.device();
    CalibratorEmulator& emulator = bench.emulator();
    const auto start = [&device, &emulator] {
        if (!device.checkHartConnection(false))
            return false;
        emulator.setRequestObserver([&emulator](const EmulatorRequest& request) {
            if (request.command.startsWith(QLatin1String("1;19")))
                emulator.setSilent(true);
        });
        return device.startHartAlgorithm(1, true, 0);
    };
    const CutCost cost = nextReadAfterCut(bench, start, QStringLiteral("40;"), [&device] { device.stopSearch(); });
    device.waitForWorker();
    return cost;
}

CutCost afterCutArchiveRead(DeviceTestBench& bench)
{
    DeviceZFN& device = bench.device();
    const auto start = [&bench, &device] {
        bench.emulator().setSilent(true);
        device.startReadArchive();
        return true;
    };
    return nextReadAfterCut(bench, start, QStringLiteral("10;"), [&device] { device.stopReadArchive(); });
}

void printCut(const char* what, const CutCost& cost, int timeoutMs, double answer)
{
    std::printf("%s, then a value read: ", what);
    printRuns(cost.callMs);
    std::printf(" from the call; %.1f ms after the cut request left = its %d ms time-out + %.1f ms (a value read "
                "is answered in %.1f ms)\n",
                cost.sinceLeftMs.median, timeoutMs, cost.sinceLeftMs.median - timeoutMs, answer);
}

struct FailedPoll
{
    double ms = 0;
    int tries = 0;
};

// A poll started on a silent calibrator, or on a line that sends only bytes that never make a
// frame: the time to the poll's "не отвечает!", and how many times its read was sent.
FailedPoll failedPollRun(DeviceTestBench& bench, bool babbling, QString& message)
{
    DeviceZFN& device = bench.device();
    CalibratorEmulator& emulator = bench.emulator();
    emulator.setSilent(true);
    emulator.setBabbling(babbling);
    emulator.clearRequests();
    bench.clearPopUps();
    QElapsedTimer timer;
    std::atomic<qint64> failedNs{0};
    const QMetaObject::Connection connection =
        QObject::connect(&device, &DeviceZFN::showPopUpMessageSignal, [&timer, &failedNs](const QString&) {
            qint64 none = 0;
            failedNs.compare_exchange_strong(none, timer.nsecsElapsed());
        });
    timer.start();
    device.startPoll();
    BoundedWait::until([&failedNs] { return failedNs != 0; }, BoundedWait::jobMs);
    BoundedWait::until([&device] { return !device.pollController()->isPollRunning(); });
    QObject::disconnect(connection);
    const int tries = emulator.requestCount();
    emulator.setBabbling(false);
    emulator.setSilent(false);
    if (!bench.flushLine())
        std::fprintf(stderr, "the line was not clean again\n");
    message = bench.popUps().value(0);
    return {double(failedNs) / 1e6, tries};
}

void reportFailedPoll(DeviceTestBench& bench, const char* what, bool babbling, int runCount)
{
    const int readTimeoutMs = bench.device().pollController()->exchangeTimeoutMs;
    QString message;
    std::vector<FailedPoll> polls;
    for (int i = 0; i < runCount; ++i)
        polls.push_back(failedPollRun(bench, babbling, message));
    std::sort(polls.begin(), polls.end(), [](const FailedPoll& a, const FailedPoll& b) { return a.ms < b.ms; });
    const FailedPoll& median = polls[polls.size() / 2];
    const auto [fewest, most] = std::minmax_element(
        polls.cbegin(), polls.cend(), [](const FailedPoll& a, const FailedPoll& b) { return a.tries < b.tries; });
    std::printf("%s, poll from its start to \"%s\": %.1f ms (runs %.1f to %.1f) = %d tries x the %d ms read "
                "time-out + %.1f ms; tries per run %d to %d\n",
                what, message.toUtf8().constData(), median.ms, polls.front().ms, polls.back().ms, median.tries,
                readTimeoutMs, median.ms - median.tries * readTimeoutMs, fewest->tries, most->tries);
}

}  // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    DeviceTestBench bench(2);
    for (int i = 0; i < 2; ++i)
        bench.emulator(i).setPaced(true);
    bench.emulator(0).setValue("1", "0.4");
    if (!bench.connectTo(0))
        return 1;
    DeviceZFN& device = bench.device();
    const PollController& work = *device.pollController();
    const double answer = answerMs(device);
    std::printf("calibrator paced at 9600 baud where it answers: one value read answered in %.1f ms; medians of %d runs, "
                "%d of the waits of 6 s and more\n",
                answer, runs, longRuns);

    reportRelease(bench);
    reportSearch(bench);
    reportConnectToOther(bench);
    if (!bench.connectWithTransmitter())
        return 1;
    printCut("cut HART pass-through, calibrator silent", afterCutPassThrough(bench), work.hartTimeoutMs, answer);
    printCut("cut archive block read, calibrator silent", afterCutArchiveRead(bench), work.archiveTimeoutMs, answer);

    reportFailedPoll(bench, "silent calibrator", false, longRuns);
    reportFailedPoll(bench, "only bytes that never make a frame", true, longRuns);
    return 0;
}
