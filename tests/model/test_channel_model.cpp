#include "ChannelRecord.h"
#include "ChannelsModel.h"
#include "TestEnvironment.h"
#include "TextDiscription.h"

#include <QtTest>
#include <cmath>

namespace {

ChannelRecord channel(quint8 outputType, quint8 characteristic, double low, double high)
{
    ChannelRecord record;
    record.outputType = outputType;
    record.characteristic = characteristic;
    record.rangeLow = low;
    record.rangeHigh = high;
    record.updateOutputRange();
    return record;
}

QString cell(const ChannelsModel& model, int column)
{
    return model.data(model.index(0, column)).toString();
}

double typed(const ChannelsModel& model)
{
    return model.data(model.index(0, 3), Qt::EditRole).toDouble();
}

}  // namespace

class TestChannelModel : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { TestEnvironment::prepareWithChoiceLists(); }

    void expectedOutputAndError()
    {
        const struct { quint8 type, characteristic; double low, high, pressure, output; } cases[] = {
            {1, 0, 0, 100, 50, 12},   {1, 0, 100, 200, 150, 12}, {0, 0, 0, 100, 100, 5},
            {2, 0, 0, 100, 0, 5},     {2, 0, 0, 100, 100, 0},    {3, 0, 0, 100, 25, 16},
            {1, 0, -100, 0, -25, 16}, {1, 1, 0, 100, 25, 12},    {1, 1, 0, 100, -25, -4},
            {3, 1, 0, 100, 25, 12},
        };
        for (const auto& c : cases)
            QCOMPARE(channel(c.type, c.characteristic, c.low, c.high).expectedOutput(c.pressure), c.output);
        QVERIFY(std::isnan(channel(7, 0, 0, 100).expectedOutput(50)));
        QVERIFY(std::isnan(channel(1, 2, 0, 100).expectedOutput(50)));

        // The inverse of each output is pinned by the round trip below; here the error in % of the span.
        ChannelRecord record = channel(1, 0, 100, 1100);
        record.reference = 590;
        record.currentToValue(12);
        QCOMPARE(record.current, 12.0);
        QCOMPARE(record.measured, 600.0);
        QCOMPARE(record.error, 1.0);
        ChannelRecord unknown = channel(9, 0, 0, 100);
        unknown.currentToValue(12);
        QVERIFY(std::isnan(unknown.measured) && std::isnan(unknown.error));
    }

    void roundTripThroughPressure()
    {
        const QVector<QPair<double, double>> ranges = {{0, 100}, {-100, 0}, {-40, 60}, {2.5, 1600}};
        for (quint8 type = 0; type < 4; ++type) {
            for (quint8 characteristic = 0; characteristic < 2; ++characteristic) {
                for (const auto& range : ranges) {
                    ChannelRecord record = channel(type, characteristic, range.first, range.second);
                    for (double current : {0.5, 4.0, 7.3, 12.0, 19.9, 21.0}) {
                        record.currentToValue(current);
                        QVERIFY2(std::fabs(record.expectedOutput(record.measured) - current) < 1e-9,
                                 qPrintable(QStringLiteral("type %1 root %2 current %3").arg(type).arg(characteristic).arg(current)));
                    }
                }
            }
        }
    }

    void typedCurrent()
    {
        ChannelsModel model;
        model.append(ChannelRecord());
        const QModelIndex current = model.index(0, 3);
        QVERIFY(!(model.flags(current) & Qt::ItemIsEditable));
        model.setCurrentEditable(true);
        QVERIFY(model.flags(current) & Qt::ItemIsEditable);

        QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
        QVERIFY(model.setData(current, QStringLiteral("12,5")));
        QCOMPARE(typed(model), 12.5);
        QVERIFY(model.setData(current, QStringLiteral("30")));
        QCOMPARE(typed(model), 25.0);
        QVERIFY(model.setData(current, -7.0));
        QCOMPARE(typed(model), -5.0);
        for (const QString& text : {QStringLiteral("12,5 мА"), QString(), QStringLiteral("nan")})
            QVERIFY(!model.setData(current, text));
        QVERIFY(!model.setData(model.index(0, 4), QStringLiteral("1")));
        QCOMPARE(typed(model), -5.0);
        QCOMPARE(changed.count(), 3);

        // A poll must not overwrite what the operator typed.
        ChannelRecord polled;
        polled.current = 9;
        polled.measured = 1;
        model.updateMeasurement(0, polled);
        QCOMPARE(typed(model), -5.0);
        model.setCurrentEditable(false);
        model.updateMeasurement(0, polled);
        QCOMPARE(cell(model, 3) + cell(model, 4), QStringLiteral("9,0000 мА1,00000 Па"));

        model.setFixedEtalon(true, 101.3);
        model.setFixedEtalon(false, 5);
        QVERIFY(!model.isFixedEtalon());
        QCOMPARE(model.fixedEtalon(), 101.3);
    }

    void pollThreadUpdateReachesGuiThread()
    {
        ChannelsModel model;
        model.append(ChannelRecord());
        QThread* resetThread = nullptr;
        connect(&model, &QAbstractItemModel::modelReset, this, [&resetThread] { resetThread = QThread::currentThread(); },
                Qt::DirectConnection);
        ChannelRecord polled;
        polled.measured = 42;
        QThread* worker = QThread::create([&model, polled] { model.updateMeasurement(0, polled); });
        worker->start();
        QVERIFY(worker->wait(5000));
        delete worker;
        QTRY_COMPARE(cell(model, 4), QStringLiteral("42,00000 Па"));
        QCOMPARE(resetThread, QThread::currentThread());
    }
};

QTEST_GUILESS_MAIN(TestChannelModel)
#include "test_channel_model.moc"
