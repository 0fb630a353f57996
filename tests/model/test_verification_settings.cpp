#include "ParametrEnum.h"
#include "ParametrInt.h"
#include "ParametrString.h"
#include "PressureUnits.h"
#include "TestEnvironment.h"
#include "TextDiscription.h"
#include "VerificationSettings.h"

#include <QLocale>
#include <QtTest>
#include <cmath>
#include <limits>

namespace {
constexpr float noNumber = std::numeric_limits<float>::quiet_NaN();
const double none = std::numeric_limits<double>::quiet_NaN();
}  // namespace

// The verification settings and the unit and number texts that reach the protocol.
class TestVerificationSettings : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        TestEnvironment::prepare();
        initChoiceLists();
        initChoiceLists();
        QCOMPARE(TextDiscription::lstUnits.size(), PressureUnits::unitCount);
    }

    void cleanup()
    {
        g_verificationSettings = nullptr;
        QLocale::setDefault(QLocale::c());
    }

    void parametersAndVerificationKind()
    {
        VerificationSettings settings;
        QCOMPARE(settings.parametr(1), settings.prProtocolNumber);
        QCOMPARE(settings.parametr(VerificationSettings::parametrCount), nullptr);
        QCOMPARE(settings.parametr(-1), nullptr);
        for (const int loaded : {0, -7, 25}) {
            settings.groupPointCount = loaded;
            settings.clampLoadedValues();
            QCOMPARE(settings.groupPointCount, qMax(1, loaded));
        }
        settings.prVerificationType->setEditedValue(1);
        QCOMPARE(settings.verificationKindText(), QString("первичной"));
        settings.prVerificationType->applyEdited();
        QCOMPARE(settings.verificationKindText(), QString("периодической"));
    }

    // Class indexes 0 A0, 1 A, 2 B, 3 C; the limits in kPa are single-precision values from the
    // calibrator, and a bound such as 0.8 counts as equal to 0.8f.
    void accuracyCategory()
    {
        const struct { int classIndex, module; float lower, upper; QString category; } cases[] = {
            {2, 2, 0.f, 199.9f, "1"},     // strict bound below
            {2, 2, 0.f, 200.f, "2"},      // strict bound reached
            {2, 2, 0.f, 250.f, "2"},      // last bound
            {2, 2, 0.f, 250.5f, "-"},     // above the last bound
            {2, 2, -1.f, 100.f, "-"},     // below the floor
            {2, 1, 0.f, 60.f, "2"},       // inclusive bound
            {1, 7, 0.f, 0.8f, "1"},       // bound as float
            {1, 7, 0.f, std::nextafter(0.8f, 1.f), "2"},
            {0, 22, -100.f, 0.f, "3"},    // vacuum, exact zero
            {1, 22, -100.f, 600.f, "2"},  // vacuum, third bracket
            {0, 22, -100.5f, 0.f, "-"},   // vacuum below the floor
            {1, 19, -10.f, 13.f, "1"},    // own floor
            {1, 19, -10.5f, 13.f, "-"},   // under its own floor
            {7, 1, 0.f, 0.f, "2"},        // class outside the list taken as A0
            {3, 4, -500.f, noNumber, "РСИ"},  // a fixed text ignores the limits
            {1, 12, 0.f, noNumber, "-"},
            {1, 12, noNumber, 100.f, "-"},
            {1, 23, 0.f, 1.f, "-"},       // module outside the table
        };
        for (const auto& c : cases) {
            VerificationSettings settings;
            settings.tzsAccuracyClass = quint8(c.classIndex);
            settings.modelTZS = quint8(c.module);
            QCOMPARE(settings.etalonAccuracyText(c.upper, c.lower), c.category);
        }
    }

    void etalonRangeText()
    {
        VerificationSettings settings;
        QCOMPARE(settings.etalonRangeText(2500.f, 0.f, 2), QString("2.5...0 МПа"));
        g_verificationSettings = &settings;
        settings.prProtocolDecimals->setValue(0);
        QCOMPARE(settings.etalonRangeText(2500.4f, -100.f, 1), QString("2500...-100 кПа"));
        settings.prProtocolDecimals->setValue(2);
        QCOMPARE(settings.etalonRangeText(1230.f, 0.f, 2) + settings.etalonRangeText(100.f, 0.f, 8),
                 QString("1.23...0 МПа1...0 бар"));
        QCOMPARE(settings.etalonRangeText(100.f, 0.f, -1), QString("-...- ---"));
        QCOMPARE(settings.etalonRangeText(100.f, 0.f, 11), QString("-...- ---"));
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
};

QTEST_GUILESS_MAIN(TestVerificationSettings)
#include "test_verification_settings.moc"
