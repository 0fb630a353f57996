// Runs HART operations 1 (identity and texts) and 9 (device-specific settings) against an emulated
// calibrator paced at 9600 baud whose transmitter answers at the HART wire rate, and prints each
// time beside its physical floor, computed from the bytes the exchange logged: every calibrator
// request and reply byte at 1.0417 ms, and every HART character (5 preambles, request, 5 preambles,
// reply) at 11 bits / 1200 baud.
#include "DeviceTestBench.h"
#include "PacedHartBench.h"
#include "HartMaster.h"
#include "PollController.h"
#include "QueuedSpy.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QMutex>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr double calibratorByteMs = 1.0417;
constexpr double hartCharacterMs = 11.0 * 1000.0 / 1200.0;
constexpr int hartPreambles = 5;
constexpr int runs = 5;

struct Floor
{
    int calibratorBytes = 0;
    int hartCharacters = 0;
    bool hartPending = false;

    double ms() const { return calibratorBytes * calibratorByteMs + hartCharacters * hartCharacterMs; }
};

QMutex g_floorMutex;
Floor g_floor;

// "40;" + one length byte + ";" + the frame text: the frame is the third field.
void takeRequest(const QString& frame)
{
    g_floor.calibratorBytes += frame.size();
    const int command = frame.indexOf(QLatin1String(";40;"));
    g_floor.hartPending = command >= 0;
    if (g_floor.hartPending) {
        const QString hex = frame.mid(command + 6).section(QLatin1Char(';'), 0, 0);
        g_floor.hartCharacters += hartPreambles + hex.size() / 2;
    }
}

void takeReply(const QString& frame)
{
    g_floor.calibratorBytes += frame.size();
    if (!g_floor.hartPending)
        return;
    const QString data = frame.section(QLatin1Char(';'), 1, 1);
    if (!data.startsWith(QLatin1Char('$')))
        g_floor.hartCharacters += hartPreambles + data.size() / 2;
    g_floor.hartPending = false;
}

void logHandler(QtMsgType, const QMessageLogContext&, const QString& message)
{
    static const QString write = QStringLiteral("DeviceZFN::sendAndRead::WRITE ");
    static const QString read = QStringLiteral("DeviceZFN::sendAndRead::READ ");
    QMutexLocker lock(&g_floorMutex);
    if (message.startsWith(write))
        takeRequest(message.mid(write.size()));
    else if (message.startsWith(read) && !message.startsWith(read + QLatin1String("WRONG")))
        takeReply(message.mid(read.size()));
}

struct Run
{
    double ms = 0;
    Floor floor;
};

Run runOnce(DeviceZFN& device, int algorithm)
{
    {
        QMutexLocker lock(&g_floorMutex);
        g_floor = Floor();
    }
    QueuedSpy finished(&device, &DeviceZFN::sendAlgoritmFinished);
    QElapsedTimer timer;
    timer.start();
    if (!device.startHartAlgorithm(algorithm, true, 0) || !finished.wait(60000)) {
        std::fprintf(stderr, "operation %d did not finish\n", algorithm);
        return {};
    }
    const double ms = double(timer.nsecsElapsed()) / 1e6;
    device.waitForWorker();
    QMutexLocker lock(&g_floorMutex);
    return {ms, g_floor};
}

void bench(DeviceZFN& device, int algorithm, const char* what)
{
    std::vector<Run> results;
    for (int i = 0; i < runs; ++i)
        results.push_back(runOnce(device, algorithm));
    std::sort(results.begin(), results.end(), [](const Run& a, const Run& b) { return a.ms < b.ms; });
    const Run& median = results[runs / 2];
    std::printf("%-34s %8.1f ms  floor %8.1f ms (%d calibrator bytes, %d HART characters)  ratio %.3f\n", what,
                median.ms, median.floor.ms(), median.floor.calibratorBytes, median.floor.hartCharacters,
                median.ms / median.floor.ms());
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    DeviceTestBench rig;
    if (!PacedHartBench::prepare(rig))
        return 1;
    DeviceZFN& device = rig.device();
    qInstallMessageHandler(logHandler);

    std::printf("median of %d runs, calibrator paced at 9600 baud, transmitter at 1200 baud\n", runs);
    bench(device, 1, "operation 1 (identity and texts)");
    bench(device, 9, "operation 9 (device-specific)");
    qInstallMessageHandler(nullptr);
    return 0;
}
