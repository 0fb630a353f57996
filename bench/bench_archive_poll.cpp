// Reads the whole archive from an emulator paced at the 9600-baud byte time, and runs poll cycles in
// each mode, printing each time beside its physical floor: the wire time of every request and reply
// byte plus the pauses the workstation must keep (50 ms between archive frames, 500 ms after a poll
// cycle).
#include "ArchiveFrameBuilder.h"
#include "ArchiveModel.h"
#include "AsciiUail.h"
#include "CalibratorEmulator.h"
#include "CalibratorMap.h"
#include "DeviceSettings.h"
#include "DeviceTestBench.h"
#include "PollController.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QMutex>
#include <QTimer>
#include <cstdio>
#include <vector>

namespace {

constexpr double byteTimeMs = 1.0417;
constexpr int pollCycles = 8;

struct Floor
{
    int requestBytes = 0;
    int replyBytes = 0;
    double pauseMs = 0;

    double ms() const { return (requestBytes + replyBytes) * byteTimeMs + pauseMs; }
};

int replyBytes(const QByteArray& data)
{
    const QByteArray body = "1;" + data + ';';
    return 1 + body.size() + QByteArray::number(AsciiUail::crc16(body)).size() + 1;
}

void addExchange(Floor& floor, const QString& command, const QByteArray& replyData)
{
    floor.requestBytes += AsciiUail::makePackage(command, 1).size();
    floor.replyBytes += replyBytes(replyData);
}

void print(const char* what, double measuredMs, const Floor& floor)
{
    std::printf("%-22s %10.1f ms   floor %10.1f ms (%d request + %d reply bytes + %.0f ms)   ratio %.3f\n", what,
                measuredMs, floor.ms(), floor.requestBytes, floor.replyBytes, floor.pauseMs, measuredMs / floor.ms());
    std::fflush(stdout);
}

bool waitFor(QObject* sender, const char* signal, int timeoutMs)
{
    QEventLoop loop;
    QObject::connect(sender, signal, &loop, SLOT(quit()));
    QTimer::singleShot(timeoutMs, &loop, [&loop] { loop.exit(1); });
    return loop.exec() == 0;
}

void benchArchive(DeviceZFN& device, CalibratorEmulator& emulator)
{
    using namespace CalibratorMap;
    Floor floor;
    for (int i = 0; i < ArchiveFrameCount; ++i) {
        const QByteArray frame = ArchiveFrameBuilder::measurement(6, float(i), float(i) + 0.1f, 0.01f, 12345);
        emulator.setArchiveFrame(i, frame);
        const QByteArray text = frame.toHex().toUpper();
        for (int half = 0; half < 2; ++half) {
            const int reg = i * ArchiveFrameBytes + half * ArchiveHalfStride;
            addExchange(floor, QStringLiteral("10;%1;1;4").arg(reg), text.mid(half * 64, 64));
        }
    }
    floor.pauseMs = (ArchiveFrameCount - 1) * device.pollController()->archivePauseMs;

    QElapsedTimer timer;
    timer.start();
    device.startReadArchive();
    if (!waitFor(&device, SIGNAL(archiveReadFinished()), 600000)) {
        std::fprintf(stderr, "archive read did not finish\n");
        return;
    }
    const double elapsed = double(timer.nsecsElapsed()) / 1e6;
    QCoreApplication::processEvents();
    std::printf("archive: %d frames kept\n", device.archiveModel()->rowCount());
    print("archive, 512 frames", elapsed, floor);
}

// Mean time between the ends of consecutive poll cycles.
double meanCycleMs(DeviceZFN& device)
{
    QMutex mutex;
    std::vector<qint64> stamps;
    QElapsedTimer clock;
    clock.start();
    const auto connection = QObject::connect(
        &device, &DeviceZFN::pollUpdateSignal, &device,
        [&] {
            QMutexLocker lock(&mutex);
            stamps.push_back(clock.nsecsElapsed());
        },
        Qt::DirectConnection);
    device.startPoll();
    QElapsedTimer limit;
    limit.start();
    for (;;) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        QMutexLocker lock(&mutex);
        if (int(stamps.size()) > pollCycles || limit.elapsed() > 60000)
            break;
    }
    device.stopPoll();
    QObject::disconnect(connection);
    if (stamps.size() < 2)
        return 0;
    return double(stamps.back() - stamps.front()) / 1e6 / double(stamps.size() - 1);
}

void benchPoll(DeviceZFN& device, CalibratorEmulator& emulator)
{
    const QList<QPair<QString, QByteArray>> values = {
        {"1", "101.325"}, {"5", "12.0000"}, {"17", "250.125"}, {"18", "12.0010"}};
    for (const auto& value : values)
        emulator.setValue(value.first, QString::fromLatin1(value.second));
    const QList<QStringList> readsByMode = {{"1", "5"}, {"1", "17", "18", "5"}, {"1"}};
    for (int mode = 0; mode < readsByMode.size(); ++mode) {
        Floor floor;
        for (const QString& number : readsByMode.at(mode)) {
            for (const auto& value : values)
                if (value.first == number)
                    addExchange(floor, "1;" + number, value.second);
        }
        floor.pauseMs = device.pollController()->pollIntervalMs;
        device.setPollMode(mode);
        const QByteArray label = "poll cycle, mode " + QByteArray::number(mode);
        print(label.constData(), meanCycleMs(device), floor);
    }
}

}  // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);

    DeviceTestBench bench;
    if (!bench.connectTo(0))
        return 1;
    DeviceZFN& device = bench.device();
    CalibratorEmulator& emulator = bench.emulator();
    device.deviceSettings()->bytes[DeviceSettings::ModuleUnitByte] = 6;
    emulator.setPaced(true);

    benchPoll(device, emulator);
    benchArchive(device, emulator);
    return 0;
}
