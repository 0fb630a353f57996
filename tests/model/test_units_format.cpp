#include "ParametrInt.h"
#include "PressureUnits.h"
#include "TestEnvironment.h"
#include "TextDiscription.h"
#include "VerificationSettings.h"

#include <QLocale>
#include <QtTest>
#include <cmath>
#include <limits>

class TestUnitsFormat : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();

    void unitFactors_data();
    void unitFactors();
    void crossUnitConversions();
    void invalidUnitGivesNaN();
    void hartCodes();

    void trimmedText_data();
    void trimmedText();
    void trimmedTextIgnoresLocale();
    void protocolTextWithoutSettingsUsesThreeDecimals();
    void protocolTextUsesCommittedDecimals();
    void unitNames();

    void choiceListsRefillWithoutDuplicates();
};

void TestUnitsFormat::initTestCase()
{
    TestEnvironment::prepare();
    initChoiceLists();
}

void TestUnitsFormat::cleanup()
{
    g_verificationSettings = nullptr;
    QLocale::setDefault(QLocale::c());
}

void TestUnitsFormat::unitFactors_data()
{
    QTest::addColumn<int>("unit");
    QTest::addColumn<double>("kpa");
    QTest::newRow("Па") << 0 << 0.001;
    QTest::newRow("кПа") << 1 << 1.0;
    QTest::newRow("МПа") << 2 << 1000.0;
    QTest::newRow("кг/см2") << 3 << 98.0665;
    QTest::newRow("кг/м2") << 4 << 0.00980665;
    QTest::newRow("мм рт.ст.") << 5 << 0.133321995;
    QTest::newRow("мм вод.ст.") << 6 << 0.00980665;
    QTest::newRow("мбар") << 7 << 0.1;
    QTest::newRow("бар") << 8 << 100.0;
    QTest::newRow("АТМ") << 9 << 101.325;
    QTest::newRow("psi") << 10 << 6.894758896;
}

void TestUnitsFormat::unitFactors()
{
    QFETCH(int, unit);
    QFETCH(double, kpa);
    QCOMPARE(PressureUnits::kpaPerUnit(unit), kpa);
    QCOMPARE(PressureUnits::toKpa(1.0, quint8(unit)), kpa);
    QCOMPARE(PressureUnits::fromKpa(quint8(unit), kpa * 3.0), 3.0);
    QCOMPARE(PressureUnits::convert(quint8(unit), 1, 1.0), kpa);
}

void TestUnitsFormat::crossUnitConversions()
{
    QCOMPARE(PressureUnits::convert(8, 1, 1.0), 100.0);
    QCOMPARE(PressureUnits::convert(8, 7, 1.0), 1000.0);
    QCOMPARE(PressureUnits::convert(2, 1, 1.0), 1000.0);
    QCOMPARE(PressureUnits::convert(1, 0, 1.0), 1000.0);
    QCOMPARE(PressureUnits::convert(3, 4, 1.0), 10000.0);
    QCOMPARE(PressureUnits::fromKpa(2, 2500.0), 2.5);
    QCOMPARE(PressureUnits::convert(10, 1, 1.0), 6.894758896);
    // Not the 6.894757293 and 0.133322387 found elsewhere.
    QVERIFY(std::abs(PressureUnits::toKpa(1.0, 10) - 6.894757293) > 1e-6);
    QVERIFY(std::abs(PressureUnits::toKpa(1.0, 5) - 0.133322387) > 1e-7);
}

void TestUnitsFormat::invalidUnitGivesNaN()
{
    QVERIFY(std::isnan(PressureUnits::kpaPerUnit(-1)));
    QVERIFY(std::isnan(PressureUnits::kpaPerUnit(11)));
    QVERIFY(std::isnan(PressureUnits::toKpa(1.0, 11)));
    QVERIFY(std::isnan(PressureUnits::toKpa(-1.0, quint8(-1))));
    QVERIFY(std::isnan(PressureUnits::fromKpa(200, 5.0)));
    QVERIFY(std::isnan(PressureUnits::convert(1, 11, 5.0)));
    QVERIFY(std::isnan(PressureUnits::convert(11, 1, 5.0)));
    QVERIFY(std::isnan(PressureUnits::convertFromHart(12, 11, 5.0)));
}

void TestUnitsFormat::hartCodes()
{
    const QList<QPair<int, int>> codes = {{12, 1}, {237, 2}, {10, 3}, {176, 4}, {5, 5}, {239, 6},
                                          {8, 7},  {7, 8},   {14, 9}, {6, 10},  {11, 0}, {255, -1}, {0, -1}};
    for (const auto& code : codes)
        QCOMPARE(PressureUnits::unitFromHartCode(quint8(code.first)), code.second);
    QCOMPARE(PressureUnits::convertFromHart(12, 2, 1000.0), 1.0);
    QCOMPARE(PressureUnits::convertHart(7, 12, 1.0), 100.0);
    QCOMPARE(PressureUnits::convertFromHart(11, 1, 1000.0), 1.0);
    QCOMPARE(PressureUnits::convertHart(6, 237, 1000.0), 6.894758896);
    // Inches of water (1) are not in the table: no conversion rather than a reading taken as Pa.
    QVERIFY(std::isnan(PressureUnits::convertFromHart(1, 1, 10.0)));
    QVERIFY(std::isnan(PressureUnits::convertHart(12, 1, 10.0)));
}

void TestUnitsFormat::trimmedText_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<int>("unit");
    QTest::addColumn<QString>("text");
    QTest::newRow("unit") << 2.5 << 1 << QString("2.5 кПа");
    QTest::newRow("integral") << 100.0 << -1 << QString("100");
    QTest::newRow("zeros inside kept") << 1000.05 << -1 << QString("1000.05");
    QTest::newRow("zero") << 0.0 << -1 << QString("0");
    QTest::newRow("rounded six decimals") << 0.1234567 << -1 << QString("0.123457");
    QTest::newRow("negative") << -2.5 << 8 << QString("-2.5 бар");
    QTest::newRow("tiny negative") << -0.0000001 << -1 << QString("0");
    QTest::newRow("negative zero") << -0.0 << 1 << QString("0 кПа");
    QTest::newRow("unit outside list") << 2.0 << 11 << QString("2 ---");
    QTest::newRow("no factor") << std::numeric_limits<double>::quiet_NaN() << -1 << QString("-");
}

void TestUnitsFormat::trimmedText()
{
    QFETCH(double, value);
    QFETCH(int, unit);
    QFETCH(QString, text);
    QCOMPARE(formatNumberTrimmed(value, unit), text);
}

void TestUnitsFormat::trimmedTextIgnoresLocale()
{
    QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
    QCOMPARE(formatNumberTrimmed(12345.25, -1), QString("12345.25"));
}

void TestUnitsFormat::protocolTextWithoutSettingsUsesThreeDecimals()
{
    QCOMPARE(formatNumberForProtocol(1.23456, -1), QString("1.235"));
    QCOMPARE(formatNumberForProtocol(2.0, 1), QString("2 кПа"));
}

void TestUnitsFormat::protocolTextUsesCommittedDecimals()
{
    VerificationSettings settings;
    g_verificationSettings = &settings;

    settings.prProtocolDecimals->setValue(0);
    QCOMPARE(formatNumberForProtocol(100.4, -1), QString("100"));
    QCOMPARE(formatNumberForProtocol(250.0, 2), QString("250 МПа"));
    QCOMPARE(formatNumberForProtocol(-0.4, -1), QString("0"));

    settings.prProtocolDecimals->setValue(3);
    QCOMPARE(formatNumberForProtocol(2.5, -1), QString("2.5"));
    QCOMPARE(formatNumberForProtocol(2.0, -1), QString("2"));
    QCOMPARE(formatNumberForProtocol(-0.0004, -1), QString("0"));

    settings.prProtocolDecimals->setEditedValue(1);
    QCOMPARE(formatNumberForProtocol(2.25, -1), QString("2.25"));
    settings.prProtocolDecimals->setValue(10);
    QCOMPARE(formatNumberForProtocol(0.0123456789, -1), QString("0.0123456789"));
}

void TestUnitsFormat::unitNames()
{
    QCOMPARE(unitName(-1), QString("---"));
    QCOMPARE(unitName(11), QString("---"));
    QCOMPARE(unitName(9), QString("АТМ"));
    QCOMPARE(unitName(10), QString("psi"));
}

void TestUnitsFormat::choiceListsRefillWithoutDuplicates()
{
    initChoiceLists();
    QCOMPARE(TextDiscription::lstUnits.size(), PressureUnits::unitCount);
    QCOMPARE(TextDiscription::lstConformity.size(), 3);
    QCOMPARE(TextDiscription::lstChannelsNames.size(), 12);
}

QTEST_GUILESS_MAIN(TestUnitsFormat)
#include "test_units_format.moc"
