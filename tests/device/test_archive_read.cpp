#include "ArchiveFrameBuilder.h"
#include "ArchiveModel.h"
#include "ArchiveTestData.h"
#include "BoundedWait.h"
#include "DeviceTestBench.h"
#include "QueuedSpy.h"
#include "PollController.h"
#include "TestEnvironment.h"

#include <QtTest>
#include <algorithm>
#include <atomic>

using namespace ArchiveTestData;

namespace {

constexpr int frameCount = 512;
// Long enough that a loaded machine does not run out of it before a reply, short enough for the
// silent cases.
constexpr int silentTimeoutMs = 500;

void fillArchive(CalibratorEmulator& emulator)
{
    for (int i = 0; i < frameCount; ++i)
        emulator.setArchiveFrame(i, frameAt(i));
}

// Connects and makes the archive exchanges quick.
void prepare(DeviceTestBench& bench)
{
    if (!bench.connectTo(0))
        qFatal("not connected");
    PollController* work = bench.device().pollController();
    work->archivePauseMs = 0;
    work->archiveTimeoutMs = silentTimeoutMs;
}

// Records the lines of the debug log, written by any thread, while it lives.
class RecordedLog
{
public:
    RecordedLog() { s_previous = qInstallMessageHandler(&RecordedLog::record); }
    ~RecordedLog() { qInstallMessageHandler(s_previous); }

    QStringList lines() const
    {
        QMutexLocker lock(&s_mutex);
        return s_lines;
    }
    int count(const QString& start) const
    {
        const QStringList all = lines();
        return int(std::count_if(all.cbegin(), all.cend(), [&](const QString& line) { return line.startsWith(start); }));
    }

private:
    static void record(QtMsgType type, const QMessageLogContext& context, const QString& text)
    {
        {
            QMutexLocker lock(&s_mutex);
            s_lines << text;
        }
        s_previous(type, context, text);
    }

    static inline QMutex s_mutex;
    static inline QStringList s_lines;
    static inline QtMessageHandler s_previous = nullptr;
};

bool readWholeArchive(DeviceZFN& device)
{
    QueuedSpy finished(&device, &DeviceZFN::archiveReadFinished);
    QueuedSpy stopped(&device, &DeviceZFN::archiveReadStoped);
    device.startReadArchive();
    return finished.waitBefore(stopped, BoundedWait::jobMs);
}

}  // namespace

class TestArchiveRead : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { TestEnvironment::prepare(); }

    // Valid frames at known places among cleared frames and frames that fail their own checks.
    void fullReadKeepsOnlyValidFrames()
    {
        DeviceTestBench bench;
        prepare(bench);
        CalibratorEmulator& emulator = bench.emulator();
        emulator.setArchiveFrame(0, frameAt(0, 5));
        emulator.setArchiveFrame(3, ArchiveFrameBuilder::withTime(frameAt(3, 15), QDateTime({2026, 3, 5}, {14, 7, 9})));
        emulator.setArchiveFrame(200, ArchiveFrameBuilder::withHart(frameAt(200), 199.5f, -0.25f));
        emulator.setArchiveFrame(511, frameAt(511, 7));
        emulator.setArchiveFrame(5, ArchiveFrameBuilder::withBadCheck(frameAt(5)));
        emulator.setArchiveFrame(6, frameAt(6, 16));
        emulator.setArchiveFrame(9, frameAt(9, 4));
        emulator.clearRequests();

        DeviceZFN& device = bench.device();
        QueuedSpy progress(&device, &DeviceZFN::sendProgress);
        QueuedSpy stopped(&device, &DeviceZFN::archiveReadStoped);
        QVERIFY(readWholeArchive(device));
        QVERIFY(device.portOwner()->isFree());
        QTRY_VERIFY(!device.pollController()->isArchiveRunning());

        ArchiveModel& model = *device.archiveModel();
        QTRY_COMPARE(indexes(model), QList<quint32>({0, 3, 200, 511}));
        QCOMPARE(model.record(1).unitCode(), quint8(15));
        QCOMPARE(model.record(1).dateTimeText(), QString("05.03.26 / 14:07:09"));
        QCOMPARE(model.record(2).hartPressure(), 199.5f);
        QCOMPARE(device.archiveSkippedCount(), 3);
        QCOMPARE(model.resumePosition.load(), 0);
        QTRY_COMPARE(stopped.count(), 0);
        QVERIFY(bench.popUps().isEmpty());

        const QList<int> sent = progress.firstInts();
        QCOMPARE(sent.size(), frameCount);
        QCOMPARE(sent.at(3), 0);
        QCOMPARE(sent.at(256), 50);
        QCOMPARE(sent.last(), 99);
        const QList<EmulatorRequest> requests = emulator.requests();
        QCOMPARE(requests.size(), 2 * frameCount);
        QCOMPARE(requests.at(6).command, QString("10;192;1;4"));
        QCOMPARE(requests.at(7).command, QString("10;224;1;4"));
    }

    // A half that is not data stops the read like silence, and a stop cuts the exchange in flight:
    // one message each but for the stop, the rows so far kept, and each next start goes on at the
    // frame not yet taken; in the end every frame is taken once.
    void interruptedReadsResumeAndTakeEveryFrameOnce()
    {
        DeviceTestBench bench;
        prepare(bench);
        CalibratorEmulator& emulator = bench.emulator();
        fillArchive(emulator);
        DeviceZFN& device = bench.device();
        ArchiveModel& model = *device.archiveModel();
        QueuedSpy stopped(&device, &DeviceZFN::archiveReadStoped);
        QueuedSpy finished(&device, &DeviceZFN::archiveReadFinished);
        // The frame, its half, and the text of the half or a status reply.
        const struct
        {
            int frame;
            int half;
            QByteArray text;
            int status;
        } breaks[] = {{7, 0, "0A0B", 0}, {9, 1, QByteArray(63, '0') + 'G', 0}, {11, 0, "", 3}, {13, 1, "", 0}};
        for (const auto& bad : breaks) {
            const int reg = bad.frame * 64 + bad.half * 32;
            if (bad.status)
                emulator.setStatusReply(QString("10;%1;1;4").arg(reg), bad.status);
            else
                emulator.setRegister(reg, 1, bad.text);
            device.startReadArchive();
            QVERIFY(stopped.wait());
            QTRY_VERIFY(device.portOwner()->isFree());
            QCOMPARE(model.resumePosition.load(), bad.frame);
            QTRY_COMPARE(model.rowCount(), bad.frame);
            emulator.clearStatusReplies();
            emulator.setArchiveFrame(bad.frame, frameAt(bad.frame));
        }

        std::atomic<int> seen{0};
        emulator.setRequestObserver([&](const EmulatorRequest&) {
            if (++seen == 20)
                emulator.setSilent(true);
        });
        device.startReadArchive();
        QVERIFY(stopped.wait());
        QTRY_VERIFY(!device.pollController()->isArchiveRunning());
        QVERIFY(device.portOwner()->isFree());
        QCOMPARE(model.resumePosition.load(), 23);
        QTRY_COMPARE(bench.popUps(), QVector<QString>(5, "ЗФН не отвечает!").toList());

        emulator.setRequestObserver(nullptr);
        emulator.setSilent(false);
        const int before = emulator.requestCount();
        device.startReadArchive();
        QVERIFY(emulator.waitForRequests(before + 300, BoundedWait::jobMs));
        device.stopReadArchive();
        QVERIFY(!device.pollController()->isArchiveRunning());
        QVERIFY(device.portOwner()->isFree());
        QTRY_COMPARE(stopped.count(), 6);
        const int resumeAt = model.resumePosition;
        QVERIFY(resumeAt > 100 && resumeAt < frameCount);
        QTRY_COMPARE(model.rowCount(), resumeAt);
        QCOMPARE(finished.count(), 0);

        device.startReadArchive();
        QVERIFY(finished.waitBefore(stopped, BoundedWait::jobMs));
        QTRY_COMPARE(model.rowCount(), frameCount);
        for (int row = 0; row < frameCount; ++row) {
            QCOMPARE(model.record(row).index(), quint32(row));
            QCOMPARE(model.record(row).reference(), float(row));
        }
        QTRY_COMPARE(stopped.count(), 6);
        QCOMPARE(bench.popUps().size(), 5);
    }

    // A start while a read runs changes nothing: the read goes on to its end without a stop, and
    // nothing is cleared.
    void startWhileOneRunsIsIgnored()
    {
        DeviceTestBench bench;
        prepare(bench);
        CalibratorEmulator& emulator = bench.emulator();
        fillArchive(emulator);
        emulator.clearRequests();
        DeviceZFN& device = bench.device();
        QueuedSpy stopped(&device, &DeviceZFN::archiveReadStoped);
        QueuedSpy finished(&device, &DeviceZFN::archiveReadFinished);
        device.startReadArchive();
        QVERIFY(emulator.waitForRequests(20, BoundedWait::stepMs));
        device.startReadArchive();
        device.startClearArchive();
        QVERIFY(finished.waitBefore(stopped, BoundedWait::jobMs));
        QTRY_COMPARE(indexes(*device.archiveModel()).size(), frameCount);
        QCOMPARE(indexes(*device.archiveModel()).last(), quint32(frameCount - 1));
        const QList<EmulatorRequest> requests = emulator.requests();
        QVERIFY(std::none_of(requests.cbegin(), requests.cend(),
                             [](const EmulatorRequest& r) { return r.command.startsWith("11;"); }));
        QCOMPARE(stopped.count(), 0);
        QVERIFY(bench.popUps().isEmpty());
    }

    // The exchange's lines depend on the debug switch; the archive's own are always written, the
    // stop line with the frame each operation stopped at.
    void logLines()
    {
        DeviceTestBench bench;
        prepare(bench);
        CalibratorEmulator& emulator = bench.emulator();
        fillArchive(emulator);
        DeviceZFN& device = bench.device();
        device.pollController()->debugLog = true;
        RecordedLog log;
        QueuedSpy stopped(&device, &DeviceZFN::archiveReadStoped);
        device.startReadArchive();
        QVERIFY(emulator.waitForRequests(emulator.requestCount() + 20, BoundedWait::stepMs));
        device.stopReadArchive();
        QVERIFY(stopped.wait());
        QCOMPARE(log.count("START READ ARCHIVE"), 1);
        QCOMPARE(log.lines().filter("ARCHIVATION STOPED"),
                 QStringList{"ARCHIVATION STOPED " + QString::number(device.archiveModel()->resumePosition)});

        emulator.setStatusReply("11;128", 4);
        QueuedSpy clearStopped(&device, &DeviceZFN::archiveClearStoped);
        device.startClearArchive();
        QVERIFY(clearStopped.wait());
        QCOMPARE(log.count("START CLEAR ARCHIVE"), 1);
        QCOMPARE(log.lines().filter("ARCHIVATION STOPED").last(), QString("ARCHIVATION STOPED 2"));

        emulator.setSilent(true);
        const int checks = log.count("DeviceZFN::sendAndRead::CKECK ");
        const int timeouts = log.count("DeviceZFN::sendAndRead::TIMEOUT ");
        device.startReadArchive();
        QVERIFY(stopped.wait());
        QCOMPARE(log.count("DeviceZFN::sendAndRead::CKECK true true"), checks + 1);
        QCOMPARE(log.count("DeviceZFN::sendAndRead::TIMEOUT "), timeouts + 3);

        device.pollController()->debugLog = false;
        const int exchangeLines = log.count("DeviceZFN::sendAndRead::");
        device.startReadArchive();
        QVERIFY(stopped.wait());
        QCOMPARE(log.count("DeviceZFN::sendAndRead::"), exchangeLines);
        QCOMPARE(log.count("START READ ARCHIVE"), 3);
    }

    // A refused clear stops with a message; the next one starts over at the first frame and writes
    // the empty frame everywhere.
    void clearWritesTheEmptyFrameEverywhere()
    {
        DeviceTestBench bench;
        prepare(bench);
        CalibratorEmulator& emulator = bench.emulator();
        fillArchive(emulator);
        emulator.setStatusReply("11;128", 4);
        DeviceZFN& device = bench.device();
        QueuedSpy stopped(&device, &DeviceZFN::archiveClearStoped);
        device.startClearArchive();
        QVERIFY(stopped.wait());
        QTRY_COMPARE(bench.popUps(), QStringList({"ЗФН не отвечает!"}));
        QCOMPARE(emulator.archiveFrame(1), ArchiveFrameBuilder::cleared());
        QCOMPARE(emulator.archiveFrame(2), frameAt(2));
        QCOMPARE(device.archiveModel()->resumePosition.load(), 0);
        QTRY_VERIFY(device.portOwner()->isFree());

        emulator.clearStatusReplies();
        emulator.clearRequests();
        device.archiveModel()->resumePosition = 100;
        QueuedSpy progress(&device, &DeviceZFN::sendProgress);
        QueuedSpy cleared(&device, &DeviceZFN::archiveClearFinished);
        device.startClearArchive();
        QVERIFY(cleared.waitBefore(stopped, BoundedWait::jobMs));
        QVERIFY(device.portOwner()->isFree());
        for (int i = 0; i < frameCount; ++i)
            QCOMPARE(emulator.archiveFrame(i), ArchiveFrameBuilder::cleared());
        QCOMPARE(emulator.requests().at(0).command, "11;0;1;4;AA" + QString(62, '0'));
        QCOMPARE(emulator.requests().at(1).command, "11;32;1;4;" + QString(60, '0') + "6701");
        QCOMPARE(progress.firstInts().last(), 99);
        QCOMPARE(device.archiveModel()->resumePosition.load(), 0);
    }
};

QTEST_GUILESS_MAIN(TestArchiveRead)
#include "test_archive_read.moc"
