#include "ArchiveFrameBuilder.h"
#include "ArchiveModel.h"
#include "ArchiveRecord.h"
#include "ArchiveTestData.h"
#include "TestEnvironment.h"
#include "TextDiscription.h"

#include <QtTest>
#include <cmath>

using namespace ArchiveTestData;
using Frame = ArchiveFrameBuilder;

namespace {

QVariant cell(const ArchiveModel& model, int row, int column, int role = Qt::DisplayRole)
{
    return model.data(model.index(row, column), role);
}

QByteArray at(const QByteArray& frame, int day, int month, int year, int hour = 0, int minute = 0, int second = 0)
{
    return Frame::withTime(frame, QDateTime(QDate(2000 + year, month, day), QTime(hour, minute, second)));
}

}  // namespace

class TestArchiveModel : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { TestEnvironment::prepareWithChoiceLists(); }

    // Valid: a good check value and a unit code from 5 to 15; the bytes round-trip with the index.
    void validityAndBytes()
    {
        for (const quint8 unitCode : {5, 15, 4, 0, 16})
            QCOMPARE(record(Frame::measurement(unitCode, 1, 1, 0, 1), 3).isValid(), unitCode == 5 || unitCode == 15);
        QVERIFY(!record(Frame::cleared(), 7).isValid());
        QVERIFY(!record(Frame::withBadCheck(frameAt(1)), 1).isValid());

        const QByteArray bytes = record(at(frameAt(3), 31, 12, 99, 23, 59, 58), 0x01020304).toBytes();
        QCOMPARE(bytes.size(), ArchiveRecord::recordSize);
        QCOMPARE(bytes.mid(64), QByteArray("\x04\x03\x02\x01", 4));
        ArchiveRecord loaded;
        QVERIFY(ArchiveRecord::fromBytes(bytes, &loaded));
        QCOMPARE(loaded.toBytes(), bytes);
        QCOMPARE(loaded.index(), 0x01020304u);
        QCOMPARE(loaded.reference(), 3.0f);
        QCOMPARE(loaded.dateTimeText(), QStringLiteral("31.12.99 / 23:59:58"));
        QVERIFY(!ArchiveRecord::fromBytes(bytes.left(67), &loaded));
        QVERIFY(!ArchiveRecord::fromBytes(bytes + '\0', &loaded));
        QCOMPARE(loaded.toBytes(), bytes);
    }

    void sortsEachColumn()
    {
        ArchiveModel model;
        const QByteArray a = Frame::withErrorCode(Frame::measurement(9, std::nanf(""), 0, 0, 5), 1);
        const QByteArray b = Frame::withHart(Frame::measurement(5, 2, 0, 0, 900), 0, 0);
        const QByteArray c = Frame::withErrorCode(Frame::measurement(15, -4, 0, 0, 70), 3);
        model.append(record(Frame::withTemperature(at(a, 1, 12, 24), 30), 10));
        model.append(record(Frame::withTemperature(at(b, 2, 1, 24), 10), 2));
        model.append(record(Frame::withTemperature(at(c, 2, 1, 23, 23), 20), 7));
        const struct { int column; Qt::SortOrder order; QList<uint> indexes; } steps[] = {
            {1, Qt::AscendingOrder, {7, 2, 10}},   {1, Qt::DescendingOrder, {10, 2, 7}},
            {0, Qt::AscendingOrder, {2, 7, 10}},   {2, Qt::DescendingOrder, {10, 7, 2}},
            {3, Qt::DescendingOrder, {7, 10, 2}},  {4, Qt::AscendingOrder, {10, 7, 2}},
            {5, Qt::AscendingOrder, {7, 2, 10}},   {5, Qt::DescendingOrder, {2, 7, 10}},
            {11, Qt::DescendingOrder, {7, 10, 2}}, {12, Qt::DescendingOrder, {2, 7, 10}},
            {8, Qt::AscendingOrder, {2, 7, 10}},   {13, Qt::AscendingOrder, {2, 7, 10}},
        };
        QSignalSpy resets(&model, &QAbstractItemModel::modelReset);
        for (const auto& step : steps) {
            model.sort(step.column, step.order);
            QCOMPARE(ArchiveTestData::indexes(model), step.indexes);
        }
        QCOMPARE(resets.count(), 12);

        // A full archive sorts stably: ties keep the order of the sort before.
        model.replaceRecords(mixedRecords(512));
        model.sort(1, Qt::DescendingOrder);
        model.sort(12, Qt::AscendingOrder);
        for (int row = 1; row < model.rowCount(); ++row) {
            const uint earlier = cell(model, row - 1, 12, Qt::UserRole).toUInt();
            const uint later = cell(model, row, 12, Qt::UserRole).toUInt();
            QVERIFY(earlier < later || (earlier == later && model.record(row - 1).timeKey() >= model.record(row).timeKey()));
        }
    }

    void archiveThreadAppendAndClear()
    {
        ArchiveModel model;
        QThread* insertThread = nullptr;
        connect(&model, &QAbstractItemModel::rowsInserted, this,
                [&insertThread] { insertThread = QThread::currentThread(); }, Qt::DirectConnection);
        const auto appendInWorker = [&model](quint32 index) {
            QThread* worker = QThread::create([&model, index] {
                model.append(record(frameAt(1), index));
                model.resumePosition = 4;
            });
            worker->start();
            worker->wait(5000);
            delete worker;
        };
        appendInWorker(3);
        QTRY_COMPARE(model.rowCount(), 1);
        QCOMPARE(insertThread, QThread::currentThread());
        model.clear();
        QVERIFY(model.isEmpty());
        QCOMPARE(model.resumePosition.load(), 0);

        // A frame still queued from a stopped read does not reach rows cleared after it.
        appendInWorker(5);
        model.clear();
        QTest::qWait(50);
        QVERIFY(model.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestArchiveModel)
#include "test_archive_model.moc"
