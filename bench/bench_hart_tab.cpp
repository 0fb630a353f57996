// Turns the HART page to another sub-tab and back just after the calibrator has received a
// request of the running identity read (HART command 13), with the calibrator paced at 9600 baud
// and the transmitter at the HART rate (1200 baud, 11 bits a character). Prints the time from that
// request to the first request of the new read beside the wire time of the command in flight: the
// transmitter's characters (5 preambles, request, 5 preambles, reply) and the calibrator's request
// and reply bytes at 1.0417 ms.
#include "DeviceTestBench.h"
#include "PacedHartBench.h"
#include "HartTextTables.h"
#include "PollController.h"
#include "QueuedSpy.h"
#include "TabHart.h"
#include "TextDiscription.h"

#include <QApplication>
#include <QMutex>
#include <QTabWidget>
#include <QThread>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr double calibratorByteMs = 1.0417;
constexpr double hartCharacterMs = 11.0 * 1000.0 / 1200.0;
constexpr int hartPreambles = 5;
constexpr int runs = 5;
const QString inFlightCommand = QStringLiteral("0D");

QMutex g_logMutex;
QStringList g_replies;

// The reply of the command in flight is read whole by its own exchange, or, when the sub-tab change
// cut that exchange (whose own read then logs nothing), drained as the late reply in front of the
// next request.
void logHandler(QtMsgType, const QMessageLogContext&, const QString& message)
{
    static const QString read = QStringLiteral("DeviceZFN::sendAndRead::READ ");
    static const QString late = QStringLiteral("DeviceZFN::sendAndRead::LATE ");
    const bool isLate = message.startsWith(late);
    if (!isLate && (!message.startsWith(read) || message.startsWith(read + QLatin1String("WRONG"))))
        return;
    const QString reply = message.mid(isLate ? late.size() : read.size());
    if (reply.isEmpty())
        return;
    QMutexLocker lock(&g_logMutex);
    g_replies << reply;
}

struct Run
{
    double ms = 0;
    int calibratorBytes = 0;
    int hartCharacters = 0;

    double wireMs() const { return calibratorBytes * calibratorByteMs + hartCharacters * hartCharacterMs; }
};

// The pass-through request of the in-flight command, the last one the calibrator received.
const EmulatorRequest* inFlight(const QList<EmulatorRequest>& requests)
{
    for (auto it = requests.crbegin(); it != requests.crend(); ++it)
        if (it->command.startsWith(QLatin1String("40;")))
            return it->command.mid(5 + 12, 2) == inFlightCommand ? &*it : nullptr;
    return nullptr;
}

Run runOnce(DeviceTestBench& rig, QTabWidget* pages)
{
    CalibratorEmulator& emulator = rig.emulator();
    QueuedSpy finished(&rig.device(), &DeviceZFN::sendAlgoritmFinished);
    emulator.clearRequests();
    pages->setCurrentIndex(1);
    pages->setCurrentIndex(0);
    EmulatorRequest request;
    while (true) {
        const QList<EmulatorRequest> requests = emulator.requests();
        if (const EmulatorRequest* found = inFlight(requests)) {
            request = *found;
            break;
        }
        QCoreApplication::processEvents();
        QThread::usleep(200);
    }
    int repliesBefore = 0;
    {
        QMutexLocker lock(&g_logMutex);
        repliesBefore = g_replies.size();
    }
    pages->setCurrentIndex(1);
    pages->setCurrentIndex(0);
    const int stoppedAndNew = finished.size() + 2;
    while (finished.size() < stoppedAndNew && finished.wait(30000)) {
    }
    rig.device().waitForWorker();
    qint64 nextUs = 0;
    for (const EmulatorRequest& later : emulator.requests())
        if (later.timeUs > request.timeUs && nextUs == 0)
            nextUs = later.timeUs;
    QMutexLocker lock(&g_logMutex);
    const QString reply = g_replies.value(repliesBefore);
    const int requestBytes = (request.command.size() - 5) / 2;
    const int replyBytes = reply.section(QLatin1Char(';'), 1, 1).size() / 2;
    return {double(nextUs - request.timeUs) / 1000.0, int(request.frame.size() + reply.size()),
            2 * hartPreambles + requestBytes + replyBytes};
}

}  // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    initChoiceLists();
    initHartTextTables();
    DeviceTestBench rig;
    if (!PacedHartBench::prepare(rig))
        return 1;
    DeviceZFN& device = rig.device();
    qInstallMessageHandler(logHandler);

    TabHart tab;
    tab.show();
    auto* pages = tab.findChild<QTabWidget*>(QStringLiteral("tabWidget"));
    QueuedSpy finished(&device, &DeviceZFN::sendAlgoritmFinished);
    finished.wait(30000);
    device.waitForWorker();

    std::vector<Run> results;
    for (int i = 0; i < runs; ++i)
        results.push_back(runOnce(rig, pages));
    std::sort(results.begin(), results.end(), [](const Run& a, const Run& b) { return a.ms < b.ms; });
    const Run& median = results[runs / 2];
    std::printf("median of %d runs, calibrator paced at 9600 baud, transmitter at 1200 baud\n", runs);
    std::printf("sub-tab change during command 13: new read's first request after %.1f ms, command in flight "
                "%.1f ms on the wire (%d calibrator bytes, %d HART characters), ratio %.3f (goal <= 1.10)\n",
                median.ms, median.wireMs(), median.calibratorBytes, median.hartCharacters, median.ms / median.wireMs());
    qInstallMessageHandler(nullptr);
    return 0;
}
