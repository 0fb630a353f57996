#include "ChannelRecord.h"
#include "ChannelsModel.h"
#include "TestEnvironment.h"
#include "TextDiscription.h"
#include "VerificationSettings.h"

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

QString cell(const ChannelsModel& model, int column, int role = Qt::DisplayRole)
{
    return model.data(model.index(0, column), role).toString();
}

}  // namespace

class TestChannelModel : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        TestEnvironment::prepare();
        initChoiceLists();
    }

    void expectedOutput_data()
    {
        QTest::addColumn<int>("outputType");
        QTest::addColumn<int>("characteristic");
        QTest::addColumn<double>("low");
        QTest::addColumn<double>("high");
        QTest::addColumn<double>("pressure");
        QTest::addColumn<double>("expected");
        QTest::newRow("4-20 middle") << 1 << 0 << 0.0 << 100.0 << 50.0 << 12.0;
        QTest::newRow("4-20 shifted range") << 1 << 0 << 100.0 << 200.0 << 150.0 << 12.0;
        QTest::newRow("0-5 top") << 0 << 0 << 0.0 << 100.0 << 100.0 << 5.0;
        QTest::newRow("5-0 bottom") << 2 << 0 << 0.0 << 100.0 << 0.0 << 5.0;
        QTest::newRow("5-0 top") << 2 << 0 << 0.0 << 100.0 << 100.0 << 0.0;
        QTest::newRow("20-4 quarter") << 3 << 0 << 0.0 << 100.0 << 25.0 << 16.0;
        QTest::newRow("vacuum range") << 1 << 0 << -100.0 << 0.0 << -25.0 << 16.0;
        QTest::newRow("root quarter") << 1 << 1 << 0.0 << 100.0 << 25.0 << 12.0;
        QTest::newRow("root below range") << 1 << 1 << 0.0 << 100.0 << -25.0 << -4.0;
        QTest::newRow("root reversed") << 3 << 1 << 0.0 << 100.0 << 25.0 << 12.0;
        QTest::newRow("unknown output") << 7 << 0 << 0.0 << 100.0 << 50.0 << std::nan("");
        QTest::newRow("unknown characteristic") << 1 << 2 << 0.0 << 100.0 << 50.0 << std::nan("");
    }

    void expectedOutput()
    {
        QFETCH(int, outputType);
        QFETCH(int, characteristic);
        QFETCH(double, low);
        QFETCH(double, high);
        QFETCH(double, pressure);
        QFETCH(double, expected);
        const double output = channel(quint8(outputType), quint8(characteristic), low, high).expectedOutput(pressure);
        if (std::isnan(expected))
            QVERIFY(std::isnan(output));
        else
            QCOMPARE(output, expected);
    }

    void currentToValue_data()
    {
        QTest::addColumn<int>("outputType");
        QTest::addColumn<int>("characteristic");
        QTest::addColumn<double>("high");
        QTest::addColumn<double>("current");
        QTest::addColumn<double>("measured");
        QTest::newRow("4-20 middle") << 1 << 0 << 1000.0 << 12.0 << 500.0;
        QTest::newRow("4-20 bottom") << 1 << 0 << 1000.0 << 4.0 << 0.0;
        QTest::newRow("4-20 below") << 1 << 0 << 1000.0 << 3.0 << -62.5;
        QTest::newRow("root") << 1 << 1 << 100.0 << 8.0 << 6.25;
        QTest::newRow("root below") << 1 << 1 << 100.0 << 3.2 << -0.25;
        QTest::newRow("20-4") << 3 << 0 << 100.0 << 8.0 << 75.0;
        QTest::newRow("5-0") << 2 << 0 << 100.0 << 1.0 << 80.0;
    }

    void currentToValue()
    {
        QFETCH(int, outputType);
        QFETCH(int, characteristic);
        QFETCH(double, high);
        QFETCH(double, current);
        QFETCH(double, measured);
        ChannelRecord record = channel(quint8(outputType), quint8(characteristic), 0, high);
        record.reference = measured - high / 100;
        record.currentToValue(current);
        QCOMPARE(record.current, current);
        QCOMPARE(record.measured, measured);
        QCOMPARE(record.error, 1.0);
    }

    void currentToValueWithoutKnownOutput()
    {
        ChannelRecord record = channel(9, 0, 0, 100);
        record.currentToValue(12);
        QVERIFY(std::isnan(record.measured));
        QVERIFY(std::isnan(record.error));
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
                                 qPrintable(QStringLiteral("type %1 characteristic %2 current %3")
                                                .arg(type)
                                                .arg(characteristic)
                                                .arg(current)));
                    }
                }
            }
        }
    }

    void outputRangeFollowsType()
    {
        ChannelRecord record = channel(3, 0, 0, 1);
        QCOMPARE(record.outputLow, 4.0);
        QCOMPARE(record.outputHigh, 20.0);
        record.outputType = 2;
        record.updateOutputRange();
        QCOMPARE(record.outputLow, 0.0);
        QCOMPARE(record.outputHigh, 5.0);
        record.outputType = 8;
        record.updateOutputRange();
        QCOMPARE(record.outputHigh, 5.0);
    }

    void recordTexts()
    {
        ChannelRecord record = channel(1, 1, 0, 360);
        record.unit = 1;
        QCOMPARE(record.rangeText(), QStringLiteral("0...360 кПа"));
        QCOMPARE(record.signalText(), QStringLiteral("√4 - 20 мА"));
        record.outputType = 4;
        QCOMPARE(record.signalText(), QStringLiteral("-"));
        record.unit = 11;
        QCOMPARE(record.unitName(), QStringLiteral("---"));

        QCOMPARE(record.outputAccuracyText(), QStringLiteral("-"));
        VerificationSettings settings;
        g_verificationSettings = &settings;
        QCOMPARE(record.outputAccuracyText(), QStringLiteral("0.01875"));
        record.outputHigh = record.outputLow;
        QCOMPARE(record.outputAccuracyText(), QStringLiteral("-"));
        g_verificationSettings = nullptr;
    }

    void cellTexts()
    {
        ChannelsModel model;
        ChannelRecord record = channel(1, 0, 0, 2.5);
        record.unit = 2;
        record.current = 4.5;
        record.measured = 12.3456789;
        record.reference = std::nan("");
        record.error = -0.25;
        model.append(record);
        QCOMPARE(model.rowCount(), 1);
        QCOMPARE(cell(model, 0), QStringLiteral("0 МПа"));
        QCOMPARE(cell(model, 1), QStringLiteral("2.5 МПа"));
        QCOMPARE(cell(model, 2), QStringLiteral("4 - 20 мА"));
        QCOMPARE(cell(model, 3), QStringLiteral("4,5000 мА"));
        QCOMPARE(cell(model, 4), QStringLiteral("12,34568 МПа"));
        QCOMPARE(cell(model, 5), QStringLiteral("-"));
        QCOMPARE(cell(model, 6), QStringLiteral("-0,2500 %"));
        QVERIFY(!model.data(model.index(0, 3), Qt::ToolTipRole).isValid());

        record.current = std::nan("");
        record.outputType = 6;
        model.setRecord(0, record);
        QCOMPARE(cell(model, 3), QStringLiteral("-"));
        QCOMPARE(cell(model, 2), QStringLiteral("-"));

        model.setHartInterval(true, -1, 4);
        QVERIFY(model.isHartInterval());
        QCOMPARE(cell(model, 0), QStringLiteral("-1 МПа"));
        QCOMPARE(cell(model, 1), QStringLiteral("4 МПа"));
    }

    void typedCurrent()
    {
        ChannelsModel model;
        model.append(ChannelRecord());
        const QModelIndex current = model.index(0, 3);
        QVERIFY(!(model.flags(current) & Qt::ItemIsEditable));
        model.setCurrentEditable(true);
        QVERIFY(model.flags(current) & Qt::ItemIsEditable);
        QVERIFY(!(model.flags(model.index(0, 4)) & Qt::ItemIsEditable));

        QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
        QVERIFY(model.setData(current, QStringLiteral("12,5")));
        QCOMPARE(model.data(current, Qt::EditRole).toDouble(), 12.5);
        QCOMPARE(changed.count(), 1);
        QVERIFY(model.setData(current, QStringLiteral("30")));
        QCOMPARE(model.data(current, Qt::EditRole).toDouble(), 25.0);
        QVERIFY(model.setData(current, -7.0));
        QCOMPARE(model.data(current, Qt::EditRole).toDouble(), -5.0);
        QCOMPARE(changed.count(), 3);

        QVERIFY(!model.setData(current, QStringLiteral("12,5 мА")));
        QVERIFY(!model.setData(current, QString()));
        QVERIFY(!model.setData(current, QStringLiteral("nan")));
        QVERIFY(!model.setData(model.index(0, 4), QStringLiteral("1")));
        QVERIFY(!model.setData(current, QStringLiteral("1"), Qt::DisplayRole));
        QCOMPARE(model.data(current, Qt::EditRole).toDouble(), -5.0);
        QCOMPARE(changed.count(), 3);

        // A poll must not overwrite what the operator typed.
        ChannelRecord polled;
        polled.current = 9;
        polled.measured = 1;
        model.updateMeasurement(0, polled);
        QCOMPARE(model.data(current, Qt::EditRole).toDouble(), -5.0);
        model.setCurrentEditable(false);
        model.updateMeasurement(0, polled);
        QCOMPARE(cell(model, 3), QStringLiteral("9,0000 мА"));
        QCOMPARE(cell(model, 4), QStringLiteral("1,00000 Па"));
    }

    void operatorChoices()
    {
        ChannelsModel model;
        QVERIFY(!model.isHartInterval());
        model.setHartInterval(true, 0, 1);
        QVERIFY(!model.isHartInterval());
        model.setFixedEtalon(true, 101.3);
        model.setFixedEtalon(false, 5);
        QVERIFY(!model.isFixedEtalon());
        QCOMPARE(model.fixedEtalon(), 101.3);
        model.setFixedEtalon(true, 7);
        QVERIFY(model.isFixedEtalon());
        QCOMPARE(model.fixedEtalon(), 7.0);
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
