#include "ParametrDouble.h"
#include "ParametrEnum.h"
#include "ParametrInt.h"
#include "ParametrString.h"
#include "TestEnvironment.h"
#include "TextDiscription.h"
#include "VerificationSettings.h"

#include <QtTest>
#include <cmath>
#include <limits>

namespace {
constexpr float noNumber = std::numeric_limits<float>::quiet_NaN();
}

class TestVerificationSettings : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();

    void parameterLimitsAndLoadedValues();
    void verificationKindAndTemplatePath();

    void accuracyCategory_data();
    void accuracyCategory();
    void accuracyBoundsStoredAsFloat_data();
    void accuracyBoundsStoredAsFloat();

    void etalonRangeText();
};

void TestVerificationSettings::initTestCase()
{
    TestEnvironment::prepare();
    initChoiceLists();
}

void TestVerificationSettings::cleanup()
{
    g_verificationSettings = nullptr;
}

void TestVerificationSettings::parameterLimitsAndLoadedValues()
{
    VerificationSettings settings;
    QCOMPARE(settings.parametr(1), settings.prProtocolNumber);
    QCOMPARE(settings.parametr(VerificationSettings::parametrCount), nullptr);
    QCOMPARE(settings.parametr(-1), nullptr);
    settings.prProtocolDecimals->setValue(11);
    QCOMPARE(settings.prProtocolDecimals->value(), 10);
    settings.prAnalysisCoeffAccuracy->setValue(0.05);
    QCOMPARE(settings.prAnalysisCoeffAccuracy->value(), 0.1);
    settings.prAnalysisCoeffVariation->setValue(12.0);
    QCOMPARE(settings.prAnalysisCoeffVariation->value(), 10.0);
    for (const int loaded : {0, -7, 25}) {
        settings.groupPointCount = loaded;
        settings.clampLoadedValues();
        QCOMPARE(settings.groupPointCount, qMax(1, loaded));
    }
}

void TestVerificationSettings::verificationKindAndTemplatePath()
{
    VerificationSettings settings;
    QCOMPARE(settings.verificationKindText(), QString("первичной"));
    settings.prVerificationType->setEditedValue(1);
    QCOMPARE(settings.verificationKindText(), QString("первичной"));
    settings.prVerificationType->applyEdited();
    QCOMPARE(settings.verificationKindText(), QString("периодической"));

    QVERIFY(VerificationSettings::templatesFolder().endsWith("/Templates/"));
    QCOMPARE(settings.templatePath(), VerificationSettings::templatesFolder());
    settings.txtProtocolName = QStringLiteral("ДИ.xlsx");
    QCOMPARE(settings.templatePath(), VerificationSettings::templatesFolder() + "ДИ.xlsx");
}

void TestVerificationSettings::accuracyCategory_data()
{
    QTest::addColumn<int>("classIndex");
    QTest::addColumn<int>("module");
    QTest::addColumn<float>("lower");
    QTest::addColumn<float>("upper");
    QTest::addColumn<QString>("category");

    QTest::newRow("B strict bound below") << 2 << 2 << 0.f << 199.9f << "1";
    QTest::newRow("B strict bound reached") << 2 << 2 << 0.f << 200.f << "2";
    QTest::newRow("B last bound") << 2 << 2 << 0.f << 250.f << "2";
    QTest::newRow("B above last bound") << 2 << 2 << 0.f << 250.5f << "-";
    QTest::newRow("B below floor") << 2 << 2 << -1.f << 100.f << "-";
    QTest::newRow("C strict 100") << 3 << 2 << 0.f << 100.f << "2";
    QTest::newRow("B inclusive 60") << 2 << 1 << 0.f << 60.f << "2";
    QTest::newRow("B inclusive 120") << 2 << 1 << 0.f << 120.f << "3";
    QTest::newRow("vacuum exact zero") << 0 << 22 << -100.f << 0.f << "3";
    QTest::newRow("vacuum below floor") << 0 << 22 << -100.5f << 0.f << "-";
    QTest::newRow("vacuum C") << 3 << 22 << -50.f << 360.f << "2";
    QTest::newRow("vacuum C above") << 3 << 22 << -50.f << 360.5f << "3";
    QTest::newRow("vacuum A top") << 1 << 22 << -100.f << 600.f << "2";
    QTest::newRow("row 19 floor") << 1 << 19 << -10.f << 13.f << "1";
    QTest::newRow("row 19 under floor") << 1 << 19 << -10.5f << 13.f << "-";
    QTest::newRow("row 20 floor") << 2 << 20 << -40.f << 80.f << "2";
    QTest::newRow("row 21 floor") << 3 << 21 << -100.f << 65.f << "1";
    QTest::newRow("row 18 large") << 3 << 18 << 0.f << 17000.f << "1";
    QTest::newRow("row 17 C") << 3 << 17 << 0.f << 35500.f << "2";
    QTest::newRow("class outside list as A0") << 7 << 1 << 0.f << 0.f << "2";
    QTest::newRow("A0 bracket") << 0 << 9 << 0.f << 8.5f << "2";
    QTest::newRow("fixed text ignores limits") << 3 << 4 << -500.f << noNumber << "РСИ";
    QTest::newRow("fixed cell of bracket row") << 0 << 11 << 0.f << 1e6f << "1";
    QTest::newRow("NaN upper") << 1 << 12 << 0.f << noNumber << "-";
    QTest::newRow("NaN lower") << 1 << 12 << noNumber << 100.f << "-";
    for (int classIndex = 0; classIndex <= 3; ++classIndex) {
        for (int module : {5, 6, 23, 255})
            QTest::addRow("module %d class %d", module, classIndex)
                << classIndex << module << 0.f << 1.f << "-";
    }
}

void TestVerificationSettings::accuracyCategory()
{
    QFETCH(int, classIndex);
    QFETCH(int, module);
    QFETCH(float, lower);
    QFETCH(float, upper);
    QFETCH(QString, category);
    VerificationSettings settings;
    settings.tzsAccuracyClass = quint8(classIndex);
    settings.modelTZS = quint8(module);
    QCOMPARE(settings.etalonAccuracyText(upper, lower), category);
}

void TestVerificationSettings::accuracyBoundsStoredAsFloat_data()
{
    QTest::addColumn<int>("classIndex");
    QTest::addColumn<int>("module");
    QTest::addColumn<float>("bound");
    QTest::addColumn<QString>("atBound");
    QTest::addColumn<QString>("aboveBound");
    QTest::newRow("0.8") << 1 << 7 << 0.8f << "1" << "2";
    QTest::newRow("6.3") << 0 << 8 << 6.3f << "2" << "-";
    QTest::newRow("32.8") << 1 << 10 << 32.8f << "1" << "2";
    QTest::newRow("5.5") << 2 << 10 << 5.5f << "1" << "2";
    QTest::newRow("1.5") << 0 << 7 << 1.5f << "1" << "2";
}

void TestVerificationSettings::accuracyBoundsStoredAsFloat()
{
    QFETCH(int, classIndex);
    QFETCH(int, module);
    QFETCH(float, bound);
    QFETCH(QString, atBound);
    QFETCH(QString, aboveBound);
    VerificationSettings settings;
    settings.tzsAccuracyClass = quint8(classIndex);
    settings.modelTZS = quint8(module);
    QCOMPARE(settings.etalonAccuracyText(bound, 0.f), atBound);
    QCOMPARE(settings.etalonAccuracyText(std::nextafter(bound, 1e9f), 0.f), aboveBound);
}

void TestVerificationSettings::etalonRangeText()
{
    VerificationSettings settings;
    QCOMPARE(settings.etalonRangeText(2500.f, 0.f, 2), QString("2.5...0 МПа"));

    g_verificationSettings = &settings;
    settings.prProtocolDecimals->setValue(0);
    QCOMPARE(settings.etalonRangeText(2500.4f, -100.f, 1), QString("2500...-100 кПа"));
    settings.prProtocolDecimals->setValue(2);
    QCOMPARE(settings.etalonRangeText(1230.f, 0.f, 2), QString("1.23...0 МПа"));
    QCOMPARE(settings.etalonRangeText(100.f, 0.f, 8), QString("1...0 бар"));
    QCOMPARE(settings.etalonRangeText(100.f, 0.f, -1), QString("-...- ---"));
    QCOMPARE(settings.etalonRangeText(100.f, 0.f, 11), QString("-...- ---"));
}

QTEST_GUILESS_MAIN(TestVerificationSettings)
#include "test_verification_settings.moc"
