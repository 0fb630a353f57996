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
    // 9 atm, 10 psi. Not the psi of 6.894757293 and the mm Hg of 0.133322387 found elsewhere.
    void conversions()
    {
        const struct { int from, to; double value, expected; } cases[] = {
            {1, 0, 1, 1000},      {2, 1, 1, 1000},        {3, 4, 1, 10000},         {8, 7, 1, 1000},
            {9, 1, 1, 101.325},   {6, 0, 1, 9.80665},     {10, 1, 1, 6.894758896},  {5, 1, 1, 0.133321995},
            {1, 11, 5, none},     {11, 1, 5, none},       {-1, 1, 5, none},
        };
        for (const auto& c : cases) {
            const double converted = PressureUnits::convert(quint8(c.from), quint8(c.to), c.value);
            if (std::isnan(c.expected)) {
                QVERIFY(std::isnan(converted));
                QVERIFY(std::isnan(PressureUnits::kpaPerUnit(c.from)) || std::isnan(PressureUnits::kpaPerUnit(c.to)));
                continue;
            }
            QCOMPARE(converted, c.expected);
            QCOMPARE(PressureUnits::fromKpa(quint8(c.from), PressureUnits::toKpa(c.value, quint8(c.from))), c.value);
        }
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

    // The decimal point stays a point whatever the locale.
    void trimmedText()
    {
        const struct { double value; int unit; QString text; } cases[] = {
            {2.5, 1, "2.5 кПа"},      {100.0, -1, "100"},       {1000.05, -1, "1000.05"},
            {0.1234567, -1, "0.123457"}, {-0.0000001, -1, "0"}, {-0.0, 1, "0 кПа"},
            {2.0, 11, "2 ---"},       {none, -1, "-"},          {-HUGE_VAL, 1, "- кПа"},
        };
        QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
        for (const auto& c : cases)
            QCOMPARE(formatNumberTrimmed(c.value, c.unit), c.text);
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
