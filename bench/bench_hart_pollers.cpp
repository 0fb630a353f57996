// Runs the pollers of the current-output page (measured loop current) and the device-specific page
// (reference pressure) 20 cycles each against an emulated calibrator paced at 9600 baud, and
// "Установить" pressed while the current poller reads. Floors come from the bytes the exchange
// logged, at 1.0417 ms a byte: a poll cycle cannot be shorter than one value read plus the 500 ms
// pause, and the press cannot reach the command-40 request sooner than the read under way plus
// that request's own bytes. The emulator writes its replies at that rate but takes requests at
// once, so a period may come out below its floor by a request's bytes.
#include "DeviceTestBench.h"
#include "HartTextTables.h"
#include "IconSet.h"
#include "PacedHartBench.h"
#include "ParametrPoller.h"
#include "QueuedSpy.h"
#include "TabHartSpecific.h"
#include "TabHartUCurrentOutput.h"
#include "TestEnvironment.h"
#include "TextDiscription.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QMutex>
#include <QPushButton>
#include <QRadioButton>
#include <QThread>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

constexpr double calibratorByteMs = 1.0417;
constexpr double pollPauseMs = 500.0;
constexpr int cycles = 20;
constexpr int presses = 5;

struct Frame
{
    double ms;
    bool request;
    bool hart;
    int bytes;
};

QMutex g_framesMutex;
std::vector<Frame> g_frames;
QElapsedTimer g_clock;

void logHandler(QtMsgType, const QMessageLogContext&, const QString& message)
{
    static const QString write = QStringLiteral("DeviceZFN::sendAndRead::WRITE ");
    static const QString read = QStringLiteral("DeviceZFN::sendAndRead::READ ");
    const bool request = message.startsWith(write);
    if (!request && (!message.startsWith(read) || message.startsWith(read + QLatin1String("WRONG"))))
        return;
    const QString frame = message.mid(request ? write.size() : read.size());
    QMutexLocker lock(&g_framesMutex);
    g_frames.push_back({double(g_clock.nsecsElapsed()) / 1e6, request, frame.contains(QLatin1String(";40;")),
                        int(frame.size())});
}

std::vector<Frame> takeFrames()
{
    QMutexLocker lock(&g_framesMutex);
    std::vector<Frame> frames;
    frames.swap(g_frames);
    return frames;
}

int requestCount()
{
    QMutexLocker lock(&g_framesMutex);
    return int(std::count_if(g_frames.cbegin(), g_frames.cend(), [](const Frame& f) { return f.request; }));
}

bool waitFor(const std::function<bool()>& done, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::usleep(200);
    }
    return true;
}

// One value read's wire time: the request and its reply.
double readWireMs(const std::vector<Frame>& frames, size_t request)
{
    const int reply = request + 1 < frames.size() && !frames[request + 1].request ? frames[request + 1].bytes : 0;
    return (frames[request].bytes + reply) * calibratorByteMs;
}

// Lets the poller run its cycles and stops it; gives the mean value read's wire time, or -1.
double reportPeriod(ParametrPoller* poller, const char* what)
{
    takeFrames();
    if (!waitFor([] { return requestCount() > cycles; }, 60000)) {
        std::fprintf(stderr, "%s: the poller did not run %d cycles\n", what, cycles);
        return -1;
    }
    poller->stop();
    const std::vector<Frame> frames = takeFrames();
    std::vector<size_t> requests;
    for (size_t i = 0; i < frames.size(); ++i)
        if (frames[i].request && !frames[i].hart)
            requests.push_back(i);
    requests.resize(cycles + 1);
    double wire = 0;
    for (int i = 0; i < cycles; ++i)
        wire += readWireMs(frames, requests[i]);
    const double period = (frames[requests[cycles]].ms - frames[requests[0]].ms) / cycles;
    const double floor = wire / cycles + pollPauseMs;
    std::printf("%-36s period %7.1f ms  floor %7.1f ms (read %.1f ms + %.0f ms)  ratio %.3f\n", what, period, floor,
                wire / cycles, pollPauseMs, period / floor);
    std::fflush(stdout);
    return wire / cycles;
}

bool startFixedCurrent(TabHartUCurrentOutput& page)
{
    QueuedSpy finished(g_device, &DeviceZFN::sendAlgoritmFinished);
    page.findChild<QPushButton*>(QStringLiteral("pushButton_setFixedCurrentMode"))->click();
    return finished.wait(30000) && waitFor([&] { return page.currentPoller()->isRunning(); }, 5000);
}

// Pressed just as a poll read goes out: the press waits for that read, then operation 17 sends
// command 40 first.
bool reportPress(TabHartUCurrentOutput& page, double readMs)
{
    double measured = 0;
    double floor = 0;
    for (int press = 0; press < presses; ++press) {
        takeFrames();
        if (!waitFor([] { return requestCount() > 0; }, 5000))
            return false;
        const double pressed = double(g_clock.nsecsElapsed()) / 1e6;
        if (!startFixedCurrent(page))
            return false;
        const std::vector<Frame> frames = takeFrames();
        const auto c40 = std::find_if(frames.cbegin(), frames.cend(), [](const Frame& f) { return f.request && f.hart; });
        if (c40 == frames.cend())
            return false;
        measured += c40->ms - pressed;
        floor += readMs + c40->bytes * calibratorByteMs;
    }
    std::printf("%-36s %7.1f ms  floor %7.1f ms (one value read + the request)  ratio %.3f\n",
                "\"Установить\" to the command 40", measured / presses, floor / presses, measured / floor);
    std::fflush(stdout);
    return true;
}

bool benchCurrentOutput()
{
    TabHartUCurrentOutput page;
    page.show();
    // As after the page's read of a 4-20 mA transmitter at address 0.
    HartDeviceData read = *g_device->hartData();
    read.currentOutputType = 1;
    page.onOutputTypeRead(read);
    page.findChild<QRadioButton*>(QStringLiteral("radioButton_value_4"))->setChecked(true);
    if (!startFixedCurrent(page)) {
        std::fprintf(stderr, "operation 17 did not start the current poller\n");
        return false;
    }
    const double readMs = reportPeriod(page.currentPoller(), "current-output poller (value 5)");
    const bool ok = readMs > 0 && startFixedCurrent(page) && reportPress(page, readMs);
    page.findChild<QPushButton*>(QStringLiteral("pushButton_unsetFixedCurrentMode"))->click();
    g_device->waitForWorker();
    return ok;
}

// The trim wizard starts this poller after command 81 and 80; started directly here, it runs the
// page's own poll slot all the same.
bool benchSpecific()
{
    TabHartSpecific page;
    page.show();
    page.pressurePoller()->start();
    return reportPeriod(page.pressurePoller(), "device-specific poller (value 1)") > 0;
}

}  // namespace

int main(int argc, char** argv)
{
    TestEnvironment::prepare();
    QApplication app(argc, argv);
    initChoiceLists();
    initHartTextTables();
    loadIcons();
    DeviceTestBench rig;
    if (!PacedHartBench::prepare(rig))
        return 1;
    rig.emulator().setValue("1", "100.5");
    g_clock.start();
    qInstallMessageHandler(logHandler);
    std::printf("calibrator paced at 9600 baud, transmitter at 1200 baud, %d poll cycles, %d presses\n", cycles,
                presses);
    const bool ok = benchCurrentOutput() && benchSpecific();
    qInstallMessageHandler(nullptr);
    return ok ? 0 : 1;
}
