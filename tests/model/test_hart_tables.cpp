#include "HartDeviceData.h"
#include "HartDeviceTypeNames.h"
#include "HartTextTables.h"
#include "PressureUnits.h"
#include "TestEnvironment.h"

#include <QtTest>
#include <cmath>
#include <cstddef>
#include <cstring>

// Bytes from the start of one field to the end of another.
#define SPAN(first, last) \
    long(offsetof(HartDeviceData, last) + sizeof(HartDeviceData::last) - offsetof(HartDeviceData, first))

class TestHartTables : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        TestEnvironment::prepare();
        initHartTextTables();
    }

    void lookups()
    {
        QCOMPARE(hartPhysicalSignalingText(6), QStringLiteral("Special"));
        QVERIFY(hartPhysicalSignalingText(5).isEmpty());
        QCOMPARE(hartUnitText(5), QStringLiteral("мм рт. ст."));
        QVERIFY(hartUnitText(6).isEmpty());
        QCOMPARE(hartCurrentOutputTypeText(3), QStringLiteral("20-4"));
        QVERIFY(hartOnOffText(2).isEmpty());
        QCOMPARE(&hartCodeText(99, g_hartAlarmLevels), &g_hartEmptyText);

        bool ok = false;
        QCOMPARE(hartCodeByText(QStringLiteral("Бар"), g_hartUnits, &ok), quint8(7));
        QVERIFY(ok);
        QCOMPARE(hartCodeByText(QStringLiteral("бар"), g_hartUnits, &ok), quint8(0));
        QVERIFY(!ok);

        const HartTextTable repeated = {{4, QStringLiteral("x")}, {4, QStringLiteral("y")}, {9, QStringLiteral("x")}};
        QCOMPARE(hartCodeText(4, repeated), QStringLiteral("x"));
        QCOMPARE(hartCodeByText(QStringLiteral("x"), repeated, &ok), quint8(4));

        initHartTextTables();
        QCOMPARE(g_hartUnits.size(), 10);
    }

    void numberTexts()
    {
        QCOMPARE(floatToText(1.5f), QStringLiteral("1.5"));
        QCOMPARE(floatToText(2.0f), QStringLiteral("2"));
        QCOMPARE(floatToText(100.0f), QStringLiteral("100"));
        QCOMPARE(floatToText(0.000001f), QStringLiteral("0.000001"));
        QCOMPARE(floatToText(0.0000001f), QStringLiteral("0"));
        QCOMPARE(floatToText(100.05f), QStringLiteral("100.05"));
        QCOMPARE(floatToText(-3.3f), QStringLiteral("-3.3"));
        QCOMPARE(floatToText(-0.0000001f), QStringLiteral("0"));
        QCOMPARE(doubleToText(0.1234567), QStringLiteral("0.123457"));
        QCOMPARE(doubleToText(1234567.5), QStringLiteral("1234567.5"));
        QCOMPARE(doubleToText(-0.0), QStringLiteral("0"));
        QCOMPARE(floatToText(std::nanf("")), QStringLiteral("-"));
        QCOMPARE(doubleToText(HUGE_VAL), QStringLiteral("-"));
        QCOMPARE(widenFloat(100.05f), 100.05);
    }

    void deviceTypeNames()
    {
        QCOMPARE(g_hartDeviceTypeNames.size(), int(g_hartDeviceTypeKeys.size()) + 1);
        QCOMPARE(hartDeviceTypeName(hartTypeNoPassword), g_hartDeviceTypeNames.at(1));
        QCOMPARE(hartDeviceTypeName(0xFFFF), QStringLiteral("Неизвестное HART-устройство"));
        QCOMPARE(hartDeviceTypeName(hartTypeWriteProtection + 0x10000), QStringLiteral("Неизвестное HART-устройство"));
    }

    // The parser copies each reply's data as one block; every block must be gap-free.
    void deviceDataBlocks()
    {
        HartDeviceData data;
        QCOMPARE(SPAN(manufacturerCode, deviceProfile), 21L);
        QCOMPARE(SPAN(tag, date), 21L);
        QCOMPARE(SPAN(sensorSerial, minimumSpan), 16L);
        QCOMPARE(SPAN(alarmSelection, analogChannelFlags), 18L);
        QCOMPARE(SPAN(pvUnit, pvValue), 5L);
        QCOMPARE(SPAN(cmd128Supported, cmd147Supported), 6L);
        QCOMPARE(SPAN(currentOutputType, alarmCurrentHigh), 10L);
        QCOMPARE(SPAN(sqrtLinearizationThreshold, sqrtHysteresisWidth), 12L);
        QCOMPARE(SPAN(menuLanguage, displayMode), 3L);
        QCOMPARE(SPAN(menuPassword, reedZeroing), 3L);
        QCOMPARE(SPAN(trimVariable, trimPointUpper), 10L);
        QCOMPARE(SPAN(guideVariable, guideMinDifferential), 23L);

        // Command 15: alarm, transfer function, unit, three floats (host order here), three bytes.
        const quint8 reply[18] = {2, 1, 12, 0, 0, 0xC8, 0x42, 0, 0, 0, 0, 0, 0, 0, 0x3F, 1, 0, 7};
        std::memcpy(&data.alarmSelection, reply, sizeof reply);
        QCOMPARE(int(data.rangeUnit), 12);
        QCOMPARE(data.upperRangeValue, 100.0f);
        QCOMPARE(data.damping, 0.5f);
        QCOMPARE(int(data.writeProtect), 1);
        QCOMPARE(int(data.analogChannelFlags), 7);
        QCOMPARE(int(data.pollingAddressByte), 0);
    }

    void deviceDataStartsCleared()
    {
        const HartDeviceData data;
        QVERIFY(data.uniqueId.isEmpty());
        QVERIFY(!data.present && !data.longTagSupported && !data.trimInfoRead && !data.factoryResetRunning);
        QCOMPARE(QByteArray(reinterpret_cast<const char*>(data.tag), 21), QByteArray(21, '\0'));
    }
};

QTEST_GUILESS_MAIN(TestHartTables)
#include "test_hart_tables.moc"
