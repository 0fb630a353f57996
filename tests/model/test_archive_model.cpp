#include "ArchiveModel.h"
#include "ArchiveRecord.h"
#include "ArchiveTestData.h"
#include "AsciiUail.h"
#include "TestEnvironment.h"
#include "TextDiscription.h"

#include <QtEndian>
#include <QtTest>
#include <array>
#include <cmath>
#include <cstring>

namespace {

struct FrameValues
{
    quint8 unitCode = 6;
    quint8 errorCode = 0;
    quint8 hartOnline = 0;
    float reference = 0;
    float measured = 0;
    float hartPressure = 0;
    float error = 0;
    float hartError = 0;
    float temperature = 0;
    std::array<quint8, 6> time = {1, 1, 24, 0, 0, 0};
    quint32 deviceSerial = 0;
    quint32 moduleSerial = 0;
};

void putFloat(quint8* frame, int offset, float value)
{
    quint32 bits;
    std::memcpy(&bits, &value, sizeof bits);
    qToLittleEndian(bits, frame + offset);
}

void putU24(quint8* frame, int offset, quint32 value)
{
    for (int i = 0; i < 3; ++i)
        frame[offset + i] = quint8(value >> (8 * i));
}

void putCheckValue(quint8* frame)
{
    qToLittleEndian(AsciiUail::crc16Bitwise(frame, 62), frame + 62);
}

ArchiveRecord frame(const FrameValues& v, quint32 index)
{
    quint8 bytes[ArchiveRecord::frameSize] = {};
    bytes[0] = v.unitCode;
    bytes[1] = v.errorCode;
    bytes[2] = 0x5A;
    bytes[3] = v.hartOnline;
    putFloat(bytes, 4, v.reference);
    putFloat(bytes, 8, v.measured);
    putFloat(bytes, 12, v.hartPressure);
    putFloat(bytes, 24, v.error);
    putFloat(bytes, 28, v.hartError);
    putFloat(bytes, 40, v.temperature);
    std::memcpy(bytes + 44, v.time.data(), v.time.size());
    putU24(bytes, 50, v.deviceSerial);
    putU24(bytes, 53, v.moduleSerial);
    bytes[60] = 0x77;
    putCheckValue(bytes);
    return ArchiveRecord(bytes, index);
}

QVariant cell(const ArchiveModel& model, int row, int column, int role = Qt::DisplayRole)
{
    return model.data(model.index(row, column), role);
}

}  // namespace

class TestArchiveModel : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { TestEnvironment::prepareWithChoiceLists(); }

    void frameDecodesToColumns()
    {
        FrameValues v;
        v.unitCode = 7;
        v.errorCode = 200;
        v.hartOnline = 1;
        v.reference = 100.05f;
        v.measured = -0.3f;
        v.hartPressure = 99.98f;
        v.error = 0.125f;
        v.hartError = -1.5f;
        v.temperature = 21.7f;
        v.time = {5, 3, 24, 14, 7, 9};
        v.deviceSerial = 1234;
        v.moduleSerial = 56;
        ArchiveModel model;
        model.append(frame(v, 41));
        const QVariantList expected = {42u, QStringLiteral("05.03.24 / 14:07:09"), 21.7, QStringLiteral("МПа"),
                                       QStringLiteral("01234"), 100.05, -0.3, 0.125, QStringLiteral("0000056"),
                                       99.98, -1.5, 200, QStringLiteral("Да")};
        for (int column = 0; column < expected.size(); ++column) {
            QCOMPARE(cell(model, 0, column).toString(), expected.at(column).toString());
            QCOMPARE(cell(model, 0, column, Qt::EditRole), cell(model, 0, column));
        }
        QVERIFY(!cell(model, 0, 13).isValid());
        QVERIFY(model.headerData(13, Qt::Horizontal).isNull());
        QCOMPARE(cell(model, 0, 3, Qt::UserRole).toInt(), 2);
        QCOMPARE(cell(model, 0, 4, Qt::UserRole).toUInt(), 1234u);
        QCOMPARE(cell(model, 0, 12, Qt::UserRole).toUInt(), 1u);
        QVERIFY(!cell(model, 0, 5, Qt::UserRole).isValid());

        v.hartOnline = 2;
        v.deviceSerial = 0xFFFFFF;
        model.append(frame(v, 0));
        QCOMPARE(cell(model, 1, 12).toString() + cell(model, 1, 4).toString(), QStringLiteral("Нет16777215"));
    }

    void validity()
    {
        const struct { quint8 unitCode; bool valid; } cases[] = {{5, true}, {15, true}, {4, false}, {0, false}, {16, false}};
        for (const auto& c : cases) {
            FrameValues v;
            v.unitCode = c.unitCode;
            QCOMPARE(frame(v, 3).isValid(), c.valid);
        }
        quint8 cleared[ArchiveRecord::frameSize] = {};
        cleared[0] = ArchiveRecord::clearedUnitCode;
        cleared[62] = 0x67;
        cleared[63] = 0x01;
        const ArchiveRecord empty(cleared, 7);
        QCOMPARE(empty.checkValue(), AsciiUail::crc16Bitwise(cleared, 62));
        QVERIFY(!empty.isValid());

        QByteArray bytes = frame(FrameValues(), 1).toBytes();
        bytes[20] = char(bytes[20] ^ 0x01);
        ArchiveRecord damaged;
        QVERIFY(ArchiveRecord::fromBytes(bytes, &damaged));
        QVERIFY(!damaged.isValid());
    }

    void recordRoundTrip()
    {
        FrameValues v;
        v.reference = 3.25f;
        v.time = {31, 12, 99, 23, 59, 58};
        const QByteArray bytes = frame(v, 0x01020304).toBytes();
        QCOMPARE(bytes.size(), ArchiveRecord::recordSize);
        QCOMPARE(bytes.mid(64), QByteArray("\x04\x03\x02\x01", 4));
        ArchiveRecord loaded;
        QVERIFY(ArchiveRecord::fromBytes(bytes, &loaded));
        QCOMPARE(loaded.toBytes(), bytes);
        QCOMPARE(loaded.index(), 0x01020304u);
        QCOMPARE(loaded.reference(), 3.25f);
        QCOMPARE(loaded.dateTimeText(), QStringLiteral("31.12.99 / 23:59:58"));
        QVERIFY(!ArchiveRecord::fromBytes(bytes.left(67), &loaded));
        QVERIFY(!ArchiveRecord::fromBytes(bytes + '\0', &loaded));
        QCOMPARE(loaded.toBytes(), bytes);
    }

    void sortsEachColumn()
    {
        ArchiveModel model;
        FrameValues a;  // index 10
        a.time = {1, 12, 24, 0, 0, 0};
        a.temperature = 30;
        a.unitCode = 9;
        a.reference = std::nanf("");
        a.deviceSerial = 5;
        a.errorCode = 1;
        FrameValues b;  // index 2
        b.time = {2, 1, 24, 0, 0, 0};
        b.temperature = 10;
        b.unitCode = 5;
        b.reference = 2;
        b.deviceSerial = 900;
        b.hartOnline = 1;
        FrameValues c;  // index 7
        c.time = {2, 1, 23, 23, 0, 0};
        c.temperature = 20;
        c.unitCode = 15;
        c.reference = -4;
        c.deviceSerial = 70;
        c.errorCode = 3;
        model.append(frame(a, 10));
        model.append(frame(b, 2));
        model.append(frame(c, 7));
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
    }

    void fullArchive()
    {
        ArchiveModel model;
        for (quint32 i = 0; i < 512; ++i) {
            FrameValues v;
            v.reference = float((i * 7919) % 1000) / 10;
            v.measured = float(i % 17);
            v.time = {quint8(1 + i % 28), quint8(1 + i % 12), quint8(i % 30), quint8(i % 24), 0, 0};
            model.append(frame(v, 511 - i));
        }
        model.sort(1, Qt::DescendingOrder);
        model.sort(6, Qt::AscendingOrder);
        for (int row = 1; row < model.rowCount(); ++row) {
            const ArchiveRecord& earlier = model.record(row - 1);
            const ArchiveRecord& later = model.record(row);
            QVERIFY(earlier.measured() < later.measured()
                    || (earlier.measured() == later.measured() && earlier.timeKey() >= later.timeKey()));
        }
        QCOMPARE(model.rowCount(), 512);
    }

    void archiveThreadAppendAndClear()
    {
        ArchiveModel model;
        QThread* insertThread = nullptr;
        connect(&model, &QAbstractItemModel::rowsInserted, this,
                [&insertThread] { insertThread = QThread::currentThread(); }, Qt::DirectConnection);
        const auto appendInWorker = [&model](quint32 index) {
            QThread* worker = QThread::create([&model, index] {
                model.append(frame(FrameValues(), index));
                model.resumePosition = 4;
            });
            worker->start();
            worker->wait(5000);
            delete worker;
        };
        appendInWorker(3);
        QTRY_COMPARE(model.rowCount(), 1);
        QCOMPARE(insertThread, QThread::currentThread());
        QVERIFY(!model.isEmpty());

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
