// Runs the pollers of the current-output page (measured loop current) and the device-specific page
// (reference pressure) 20 cycles each against an emulated calibrator paced at 9600 baud, and
// "Установить" pressed while the current poller reads. Floors come from the bytes the exchange
// logged, at 1.0417 ms a byte: a poll cycle cannot be shorter than one value read plus the 500 ms
// pause. The press, timed from the request of the read under way to the command-40 request, cuts
// that read after its first reply byte, and the next exchange first drains the rest of the reply:
// its floor is the read's request and every reply byte the workstation waited for.
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
    enum Kind { Request, Reply, Late };
    double ms;
    Kind kind;
    bool hart;
    int bytes;

    bool isRequest() const { return kind == Request; }
};

QMutex g_framesMutex;
std::vector<Frame> g_frames;
QElapsedTimer g_clock;

// The exchange's debug lines: a request written, the reply read (or the part read before a cut)
// and the rest of a cut reply drained before the next request.
void logHandler(QtMsgType, const QMessageLogContext&, const QString& message)
{
    static const QList<QPair<QString, Frame::Kind>> lines = {
        {QStringLiteral("DeviceZFN::sendAndRead::WRITE "), Frame::Request},
        {QStringLiteral("DeviceZFN::sendAndRead::READ "), Frame::Reply},
        {QStringLiteral("DeviceZFN::sendAndRead::LATE "), Frame::Late}};
    for (const auto& line : lines) {
        if (!message.startsWith(line.first) || message.startsWith(QLatin1String("DeviceZFN::sendAndRead::READ WRONG")))
            continue;
        const QString frame = message.mid(line.first.size());
        QMutexLocker lock(&g_framesMutex);
        g_frames.push_back({double(g_clock.nsecsElapsed()) / 1e6, line.second, frame.contains(QLatin1String(";40;")),
                            int(frame.size())});
        return;
    }
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
    return int(std::count_if(g_frames.cbegin(), g_frames.cend(), [](const Frame& f) { return f.isRequest(); }));
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

// One value read's bytes on the wire: the request and its reply.
int readBytes(const std::vector<Frame>& frames, size_t request)
{
    const int reply = request + 1 < frames.size() && !frames[request + 1].isRequest() ? frames[request + 1].bytes : 0;
    return frames[request].bytes + reply;
}

// Lets the poller run its cycles and stops it; false when it did not run them.
bool reportPeriod(ParametrPoller* poller, const char* what)
{
    takeFrames();
    if (!waitFor([] { return requestCount() > cycles; }, 60000)) {
        std::fprintf(stderr, "%s: the poller did not run %d cycles\n", what, cycles);
        return false;
    }
    poller->stop();
    const std::vector<Frame> frames = takeFrames();
    std::vector<size_t> requests;
    for (size_t i = 0; i < frames.size(); ++i)
        if (frames[i].isRequest() && !frames[i].hart)
            requests.push_back(i);
    requests.resize(cycles + 1);
    int bytes = 0;
    for (int i = 0; i < cycles; ++i)
        bytes += readBytes(frames, requests[i]);
    const double period = (frames[requests[cycles]].ms - frames[requests[0]].ms) / cycles;
    const double floor = bytes * calibratorByteMs / cycles + pollPauseMs;
    std::printf("%-36s period %7.1f ms  floor %7.1f ms (a read's %d bytes + %.0f ms)  ratio %.3f\n", what, period,
                floor, bytes / cycles, pollPauseMs, period / floor);
    std::fflush(stdout);
    return true;
}

bool startFixedCurrent(TabHartUCurrentOutput& page)
{
    QueuedSpy finished(g_device, &DeviceZFN::sendAlgoritmFinished);
    page.findChild<QPushButton*>(QStringLiteral("pushButton_setFixedCurrentMode"))->click();
    return finished.wait(30000) && waitFor([&] { return page.currentPoller()->isRunning(); }, 5000);
}

// From the request of the read that the press cut to the command-40 request, and the bytes the
// workstation waited for in between: the read's request and its whole reply, which the next
// exchange drains.
struct Press
{
    double ms = 0;
    int bytes = 0;
};

bool pressTimes(const std::vector<Frame>& frames, Press& press)
{
    const auto c40 = std::find_if(frames.cbegin(), frames.cend(), [](const Frame& f) { return f.isRequest() && f.hart; });
    if (c40 == frames.cend())
        return false;
    const auto read = std::find_if(std::make_reverse_iterator(c40), frames.crend(),
                                   [](const Frame& f) { return f.isRequest(); });
    if (read == frames.crend())
        return false;
    press.ms += c40->ms - read->ms;
    // The drain keeps what the cut read had taken, so a late reply's line holds the whole reply and
    // the cut part before it is not counted twice.
    for (auto f = read.base() - 1; f != c40; ++f)
        if (!(f->kind == Frame::Reply && f + 1 != c40 && (f + 1)->kind == Frame::Late))
            press.bytes += f->bytes;
    return true;
}

// Pressed just as a poll read goes out: the press waits for that read, then operation 17 sends
// command 40 first.
bool reportPress(TabHartUCurrentOutput& page)
{
    Press press;
    for (int i = 0; i < presses; ++i) {
        takeFrames();
        if (!waitFor([] { return requestCount() > 0; }, 5000) || !startFixedCurrent(page)
            || !pressTimes(takeFrames(), press))
            return false;
    }
    const double floor = press.bytes * calibratorByteMs;
    std::printf("%-36s %7.1f ms  floor %7.1f ms (%d bytes of the cut read)  ratio %.3f\n",
                "\"Установить\" to the command 40", press.ms / presses, floor / presses, press.bytes / presses,
                press.ms / floor);
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
    const bool ok = reportPeriod(page.currentPoller(), "current-output poller (value 5)") && startFixedCurrent(page)
                    && reportPress(page);
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
    return reportPeriod(page.pressurePoller(), "device-specific poller (value 1)");
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
