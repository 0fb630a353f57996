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
    void initTestCase()
    {
        TestEnvironment::prepare();
        initChoiceLists();
    }

    void cleanup() { g_verificationSettings = nullptr; }

    void parametersKindAndTemplatePath()
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
        QVERIFY(VerificationSettings::templatesFolder().endsWith("/Templates/"));
        QCOMPARE(settings.templatePath(), VerificationSettings::templatesFolder());
        settings.txtProtocolName = QStringLiteral("ДИ.xlsx");
        QCOMPARE(settings.templatePath(), VerificationSettings::templatesFolder() + "ДИ.xlsx");
    }

    // Class indexes 0 A0, 1 A, 2 B, 3 C; the limits in kPa are single-precision values from the
    // calibrator, and a bound such as 0.8 counts as equal to 0.8f.
    void accuracyCategory_data()
    {
        QTest::addColumn<int>("classIndex");
        QTest::addColumn<int>("module");
        QTest::addColumn<float>("lower");
        QTest::addColumn<float>("upper");
        QTest::addColumn<QString>("category");
        QTest::newRow("strict bound below") << 2 << 2 << 0.f << 199.9f << "1";
        QTest::newRow("strict bound reached") << 2 << 2 << 0.f << 200.f << "2";
        QTest::newRow("last bound") << 2 << 2 << 0.f << 250.f << "2";
        QTest::newRow("above last bound") << 2 << 2 << 0.f << 250.5f << "-";
        QTest::newRow("below floor") << 2 << 2 << -1.f << 100.f << "-";
        QTest::newRow("inclusive bound") << 2 << 1 << 0.f << 60.f << "2";
        QTest::newRow("bound as float") << 1 << 7 << 0.f << 0.8f << "1";
        QTest::newRow("above bound as float") << 1 << 7 << 0.f << std::nextafter(0.8f, 1.f) << "2";
        QTest::newRow("vacuum exact zero") << 0 << 22 << -100.f << 0.f << "3";
        QTest::newRow("vacuum third bracket") << 1 << 22 << -100.f << 600.f << "2";
        QTest::newRow("vacuum below floor") << 0 << 22 << -100.5f << 0.f << "-";
        QTest::newRow("own floor") << 1 << 19 << -10.f << 13.f << "1";
        QTest::newRow("under own floor") << 1 << 19 << -10.5f << 13.f << "-";
        QTest::newRow("class outside list as A0") << 7 << 1 << 0.f << 0.f << "2";
        QTest::newRow("fixed text ignores limits") << 3 << 4 << -500.f << noNumber << "РСИ";
        QTest::newRow("NaN upper") << 1 << 12 << 0.f << noNumber << "-";
        QTest::newRow("NaN lower") << 1 << 12 << noNumber << 100.f << "-";
        QTest::newRow("module outside table") << 1 << 23 << 0.f << 1.f << "-";
    }

    void accuracyCategory()
    {
        QFETCH(int, classIndex);
        QFETCH(int, module);
        QFETCH(float, lower);
        QFETCH(float, upper);
        VerificationSettings settings;
        settings.tzsAccuracyClass = quint8(classIndex);
        settings.modelTZS = quint8(module);
        QTEST(settings.etalonAccuracyText(upper, lower), "category");
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
};

QTEST_GUILESS_MAIN(TestVerificationSettings)
#include "test_verification_settings.moc"
