#include "ParametrInt.h"
#include "PressureUnits.h"
#include "TestEnvironment.h"
#include "TextDiscription.h"
#include "VerificationSettings.h"

#include <QLocale>
#include <QtTest>
#include <cmath>
#include <limits>

namespace {
const double none = std::numeric_limits<double>::quiet_NaN();
}

class TestUnitsFormat : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        TestEnvironment::prepare();
        initChoiceLists();
    }

    void cleanup()
    {
        g_verificationSettings = nullptr;
        QLocale::setDefault(QLocale::c());
    }

    // Units by index: 0 Pa, 1 kPa, 2 MPa, 3 kgf/cm², 4 kgf/m², 5 mm Hg, 6 mm of water, 7 mbar, 8 bar,
    // 9 atm, 10 psi.
    void conversions_data()
    {
        QTest::addColumn<int>("from");
        QTest::addColumn<int>("to");
        QTest::addColumn<double>("value");
        QTest::addColumn<double>("expected");
        QTest::newRow("kPa to Pa") << 1 << 0 << 1.0 << 1000.0;
        QTest::newRow("MPa to kPa") << 2 << 1 << 1.0 << 1000.0;
        QTest::newRow("kgf/cm² to kgf/m²") << 3 << 4 << 1.0 << 10000.0;
        QTest::newRow("bar to mbar") << 8 << 7 << 1.0 << 1000.0;
        QTest::newRow("atm") << 9 << 1 << 1.0 << 101.325;
        QTest::newRow("mm of water") << 6 << 0 << 1.0 << 9.80665;
        // Not the 6.894757293 and 0.133322387 found elsewhere.
        QTest::newRow("psi") << 10 << 1 << 1.0 << 6.894758896;
        QTest::newRow("mm Hg") << 5 << 1 << 1.0 << 0.133321995;
        QTest::newRow("into a unit outside the list") << 1 << 11 << 5.0 << none;
        QTest::newRow("from a unit outside the list") << 11 << 1 << 5.0 << none;
        QTest::newRow("from a negative unit") << -1 << 1 << 5.0 << none;
    }

    void conversions()
    {
        QFETCH(int, from);
        QFETCH(int, to);
        QFETCH(double, value);
        QFETCH(double, expected);
        const double converted = PressureUnits::convert(quint8(from), quint8(to), value);
        if (std::isnan(expected)) {
            QVERIFY(std::isnan(converted));
            QVERIFY(std::isnan(PressureUnits::kpaPerUnit(from)) || std::isnan(PressureUnits::kpaPerUnit(to)));
            return;
        }
        QCOMPARE(converted, expected);
        QCOMPARE(PressureUnits::fromKpa(quint8(from), PressureUnits::toKpa(value, quint8(from))), value);
    }

    void hartCodes()
    {
        const QList<QPair<int, int>> codes = {{12, 1}, {237, 2}, {11, 0}, {6, 10}, {255, -1}, {0, -1}};
        for (const auto& code : codes)
            QCOMPARE(PressureUnits::unitFromHartCode(quint8(code.first)), code.second);
        QCOMPARE(PressureUnits::convertFromHart(12, 2, 1000.0), 1.0);
        QCOMPARE(PressureUnits::convertHart(7, 12, 1.0), 100.0);
        QCOMPARE(PressureUnits::convertHart(6, 237, 1000.0), 6.894758896);
        // Inches of water (1) are not in the table: no conversion rather than a reading taken as Pa.
        QVERIFY(std::isnan(PressureUnits::convertFromHart(1, 1, 10.0)));
        QVERIFY(std::isnan(PressureUnits::convertHart(12, 1, 10.0)));
        QVERIFY(std::isnan(PressureUnits::convertFromHart(12, 11, 5.0)));
    }

    void trimmedText_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<int>("unit");
        QTest::addColumn<QString>("text");
        QTest::newRow("unit") << 2.5 << 1 << QString("2.5 кПа");
        QTest::newRow("integral") << 100.0 << -1 << QString("100");
        QTest::newRow("zeros inside kept") << 1000.05 << -1 << QString("1000.05");
        QTest::newRow("rounded six decimals") << 0.1234567 << -1 << QString("0.123457");
        QTest::newRow("tiny negative") << -0.0000001 << -1 << QString("0");
        QTest::newRow("negative zero") << -0.0 << 1 << QString("0 кПа");
        QTest::newRow("unit outside list") << 2.0 << 11 << QString("2 ---");
        QTest::newRow("no factor") << none << -1 << QString("-");
        QTest::newRow("infinite") << -HUGE_VAL << 1 << QString("- кПа");
    }

    // The decimal point stays a point whatever the locale.
    void trimmedText()
    {
        QFETCH(double, value);
        QFETCH(int, unit);
        QFETCH(QString, text);
        QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
        QCOMPARE(formatNumberTrimmed(value, unit), text);
    }

    void protocolTextUsesCommittedDecimals()
    {
        QCOMPARE(formatNumberForProtocol(1.23456, -1), QString("1.235"));
        VerificationSettings settings;
        g_verificationSettings = &settings;
        settings.prProtocolDecimals->setValue(0);
        QCOMPARE(formatNumberForProtocol(100.4, -1), QString("100"));
        QCOMPARE(formatNumberForProtocol(250.0, 2), QString("250 МПа"));
        settings.prProtocolDecimals->setValue(3);
        QCOMPARE(formatNumberForProtocol(2.5, -1), QString("2.5"));
        settings.prProtocolDecimals->setEditedValue(1);
        QCOMPARE(formatNumberForProtocol(2.25, -1), QString("2.25"));
        settings.prProtocolDecimals->setValue(10);
        QCOMPARE(formatNumberForProtocol(0.0123456789, -1), QString("0.0123456789"));
    }

    void choiceListsRefillWithoutDuplicates()
    {
        initChoiceLists();
        QCOMPARE(TextDiscription::lstUnits.size(), PressureUnits::unitCount);
    }
};

QTEST_GUILESS_MAIN(TestUnitsFormat)
#include "test_units_format.moc"
