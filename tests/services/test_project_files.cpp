#include "ChannelsModel.h"
#include "ConfiguratorFixture.h"
#include "ParametrDouble.h"
#include "ParametrEnum.h"
#include "ParametrInt.h"
#include "ParametrString.h"
#include "TabConfiguration.h"
#include "TestEnvironment.h"
#include "TextDiscription.h"
#include "VerificationSettings.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QSettings>
#include <QTabWidget>
#include <QTableView>
#include <QtTest>

namespace {

const QString openError = QStringLiteral("При открытии файла возникла ошибка!");

QString projectsFolder()
{
    return ConfiguratorFixture::settingsFolder() + "/Projects";
}

QString confIni()
{
    return ConfiguratorFixture::settingsFolder() + "/conf.ini";
}

QString confValue(const char* key)
{
    return QSettings(confIni(), QSettings::IniFormat).value(key).toString();
}

QList<ParametrEnum*> conformityChecks()
{
    const VerificationSettings& s = *g_verificationSettings;
    return {s.prCheckTightness, s.prTrial, s.prCheckInsulationStrength, s.prCheckInsulationResistance};
}

void selectPortRange(const ConfiguratorFixture& f, int first, int last)
{
    requireChild<QComboBox>(f.window.get(), "comboBox_comIntervalMin")->setCurrentIndex(first);
    requireChild<QComboBox>(f.window.get(), "comboBox_comIntervalMax")->setCurrentIndex(last);
}

void setEveryFieldOffDefault()
{
    VerificationSettings& s = *g_verificationSettings;
    int n = 0;
    for (QString* text : {&s.temperature, &s.humidity, &s.atmPressure, &s.atmPressureUnits, &s.verificatorPos,
                          &s.chefName, &s.chefPos, &s.etalonIdString, &s.txtProtocolName, &s.glakSerialNumber})
        *text = QString("Текст %1").arg(++n);
    s.verificatorName = "Петров П.П., инженер";
    s.lmvIdNumber = 42;
    s.modelTZS = 22;
    s.tzsAccuracyClass = 3;
    s.etalonDelta = 0.02;
    s.indicatorCoff = 0.5;
    s.groupPointCount = 7;
    s.glakReadMode = 1;
    for (int i = 0; i < VerificationSettings::parametrCount; ++i)
        if (s.parametr(i)->typeId() == ParametrString::TypeId)
            static_cast<ParametrString*>(s.parametr(i))->setValue(QString("Значение %1").arg(i));
    s.prOrganisationAddress->setValue("ул. Мира, 1\nкорп. 2");
    s.prProtocolDecimals->setValue(5);
    s.prVerificationType->setValue(1);
    s.prAnalysisCoeffAccuracy->setValue(0.5);
    s.prAnalysisCoeffVariation->setValue(3.5);
    for (ParametrEnum* check : conformityChecks())
        check->setValue(1);

    ChannelRecord& c = *g_device->currentChannel();
    c.name = "Датчик давления";
    c.model = c.serial = "АИР-20";
    c.rangeLow = -1.5;
    c.rangeHigh = 2.5;
    c.unit = 10;
    c.outputType = 3;
    c.characteristic = 1;
    c.allowedError = 0.25;
    TextDiscription::lstChannelsNames = QStringList{"Канал 1", "a, b"};
    TextDiscription::lstId = QStringList{"7"};
    g_device->setFlag(DeviceZFN::SearchFirstOnly, true);
    g_device->setFlag(DeviceZFN::SearchPortRange, true);
    // The page shows the record again, as after a project load; saving applies what it shows.
    g_tabConfiguration->loadSettings();
}

// Everything a project stores, as the module itself writes it.
QByteArray storedRecords()
{
    const QString path = TestEnvironment::homePath() + "/snapshot.ini";
    QFile::remove(path);
    if (!g_device->configuratorModule()->saveProjectFile(path))
        qFatal("the snapshot was not written");
    return ConfiguratorFixture::readFile(path);
}

QString titleOf(const ConfiguratorFixture& f)
{
    return f.window->windowTitle();
}

}  // namespace

class TestProjectFiles : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { TestEnvironment::prepareWithChoiceLists(); }

    void init() { QDir(ConfiguratorFixture::settingsFolder()).removeRecursively(); }

    // Saved, loaded into a device holding other values and saved again: the same file, key for key.
    void roundTripKeepsEveryStoredField()
    {
        const QString first = projectsFolder() + "/round.ini";
        {
            ConfiguratorFixture f;
            setEveryFieldOffDefault();
            selectPortRange(f, 1, 2);
            f.answer({first});
            f.trigger("action_saveProject");
            QVERIFY(f.bench.popUps().isEmpty());
        }
        QSettings file(first, QSettings::IniFormat);
        QStringList keys = file.allKeys();
        keys.sort();
        QCOMPARE(keys.join(' '),
                 QString("CHANNEL1/accuracyAllowed CHANNEL1/dependanceType CHANNEL1/devicePressureUnits "
                         "CHANNEL1/lstChannelsNames CHANNEL1/lstId CHANNEL1/outputSignalType CHANNEL1/pressureMax "
                         "CHANNEL1/pressureMin CHANNEL1/txtModel CHANNEL1/txtName CHANNEL1/txtSerial "
                         "COMMON/searchMode COMMON/searchSingleDevice INFO/atmPressure INFO/atmPressureUnits "
                         "INFO/chefName INFO/chefPos INFO/currentPortIndexMax INFO/currentPortIndexMin "
                         "INFO/etalonDelta INFO/etalonIdString INFO/glakReadMode INFO/glakSerialNumber "
                         "INFO/groupPointCount INFO/humidity INFO/indicatorCoff INFO/lmvIdNumber INFO/modelTZS "
                         "INFO/prAnalysisCoeffAccuracy INFO/prAnalysisCoeffVariation INFO/prDeviceDoc "
                         "INFO/prDeviceNotes INFO/prDeviceOwner INFO/prEtalonList INFO/prOrganisation "
                         "INFO/prOrganisationAddress INFO/prOrganisationCert INFO/prProtocolDecimals "
                         "INFO/prProtocolNumber INFO/prPsetterAccuracy INFO/prPsetterNumber INFO/prPsetterType "
                         "INFO/prRegNumberTzs INFO/prRegNumberZfn INFO/prVerificationType INFO/temperature "
                         "INFO/txtProtocolName INFO/tzsAccuracyClass INFO/verificatorName INFO/verificatorPos"));

        TextDiscription::lstChannelsNames = QStringList{"другой"};
        ConfiguratorFixture f;
        f.answer({first});
        f.trigger("action_openProject");
        QVERIFY(f.bench.popUps().isEmpty());
        const VerificationSettings& s = *g_verificationSettings;
        const ChannelRecord& c = *g_device->currentChannel();
        QCOMPARE(s.verificatorName, QString("Петров П.П., инженер"));
        QCOMPARE(s.prOrganisationAddress->value(), QString("ул. Мира, 1\nкорп. 2"));
        QCOMPARE(s.currentPortIndexMax, qint16(-1));
        QCOMPARE(c.rangeLow, -1.5);
        QCOMPARE(TextDiscription::lstChannelsNames, QStringList({"Канал 1", "a, b"}));
        for (const ParametrEnum* check : conformityChecks())
            QCOMPARE(check->value(), 0);
        QCOMPARE(c.outputLow, 4.0);
        const ChannelsModel* channels = g_device->channelsModel();
        QVERIFY(channels->data(channels->index(0, 1)).toString().endsWith(unitName(10)));
        QVERIFY(titleOf(f).endsWith("  round.ini"));

        const QString second = projectsFolder() + "/again.ini";
        f.answer({second});
        f.trigger("action_saveProject");
        QCOMPARE(ConfiguratorFixture::readFile(second), ConfiguratorFixture::readFile(first));
    }

    void rangeEndingOnTheLastPortSurvivesARestart()
    {
        const QString project = projectsFolder() + "/name.ini";
        {
            ConfiguratorFixture f;
            selectPortRange(f, 0, 2);
            g_device->setFlag(DeviceZFN::SearchFirstOnly, true);
            g_device->currentChannel()->name = "Датчик до перезапуска";
            g_tabConfiguration->loadSettings();
            f.answer({projectsFolder() + "/name"});
            f.trigger("action_saveProject");
            QCOMPARE(f.requests().first().mode, FileChooser::Save);
            const QStringList lines = QString::fromUtf8(ConfiguratorFixture::readFile(project)).split('\n');
            for (const char* line : {"currentPortIndexMax=-1", "pressureMax=360", "accuracyAllowed=0.1",
                                     "searchSingleDevice=true", "searchMode=false"})
                QVERIFY2(lines.contains(line), line);
            QCOMPARE(confValue("settingFilePathConfiguration"), projectsFolder());
            QCOMPARE(confValue("settingFilePathLastConfigurationFile"), project);
            QVERIFY(titleOf(f).endsWith("  name.ini"));
        }
        ConfiguratorFixture f;
        f.show();
        QTRY_COMPARE(g_device->currentChannel()->name, QString("Датчик до перезапуска"));
        QVERIFY(titleOf(f).endsWith("  name.ini"));
        QCOMPARE(requireChild<QComboBox>(f.window.get(), "comboBox_comIntervalMax")->currentIndex(), 2);
        QVERIFY(f.bench.popUps().isEmpty());

        // A restore after minimising keeps what was changed since.
        selectPortRange(f, 0, 1);
        f.window->hide();
        f.show();
        QTest::qWait(20);
        QCOMPARE(requireChild<QComboBox>(f.window.get(), "comboBox_comIntervalMax")->currentIndex(), 1);
    }

    void damagedProjectsChangeNothing_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<bool>("isFolder");
        QTest::newRow("missing") << QByteArray() << false;
        QTest::newRow("folder") << QByteArray() << true;
        QTest::newRow("unclosed group") << QByteArray("[INFO\ntemperature=5\n") << false;
        QTest::newRow("zip bytes") << QByteArray::fromHex("504b030414000000080000002100") << false;
        QTest::newRow("foreign groups") << QByteArray("[General]\nkey=1\n[Other]\nmodelTZS=3\n") << false;
        QTest::newRow("empty") << QByteArray("") << false;
        // Serialized objects that would make QSettings reserve gigabytes, plain or behind escapes.
        const QByteArray huge = "Variant(\\0\\0\\0\\v\\x7f\\xff\\xff\\xff)\n";
        QTest::newRow("object") << "[INFO]\nverificatorName=@" + huge << false;
        QTest::newRow("escaped @") << "[INFO]\nverificatorName=\\x40" + huge << false;
        QTest::newRow("octal @ in a quoted list item") << "[INFO]\nverificatorName=a, \"\\100" + huge << false;
        QTest::newRow("continued line") << "[INFO]\nverificatorName=\\\n@" + huge << false;
    }

    void damagedProjectsChangeNothing()
    {
        QFETCH(QByteArray, content);
        QFETCH(bool, isFolder);
        const QString damaged = TestEnvironment::homePath() + "/damaged.ini";
        QDir(damaged).removeRecursively();
        QFile::remove(damaged);
        if (isFolder)
            QVERIFY(QDir().mkpath(damaged));
        else if (!content.isNull())
            QVERIFY(ConfiguratorFixture::writeFile(damaged, content));

        ConfiguratorFixture f;
        const QString good = projectsFolder() + "/good.ini";
        f.answer({good, damaged});
        f.trigger("action_saveProject");
        setEveryFieldOffDefault();
        const QByteArray before = storedRecords();
        const QString title = titleOf(f);
        f.trigger("action_openProject");
        QCOMPARE(f.bench.popUps(), QStringList{openError});
        QCOMPARE(storedRecords(), before);
        QCOMPARE(titleOf(f), title);
        QCOMPARE(confValue("settingFilePathLastConfigurationFile"), good);
    }

    void badValuesTakeTheirDefaultsWithOneMessage()
    {
        const QString project = TestEnvironment::homePath() + "/bad.ini";
        QVERIFY(ConfiguratorFixture::writeFile(project,
                                               "[INFO]\n"
                                               "verificatorName=\\x418\\x432\\x430\\x43d\n"
                                               "lmvIdNumber=12abc\n"
                                               "currentPortIndexMax=-2\n"
                                               "currentPortIndexMin=40000\n"
                                               "modelTZS=300\n"
                                               "tzsAccuracyClass=3\n"
                                               "etalonDelta=nan\n"
                                               "groupPointCount=0\n"
                                               "glakReadMode=2\n"
                                               "prProtocolDecimals=11\n"
                                               "prVerificationType=7\n"
                                               "prAnalysisCoeffAccuracy=0.05\n"
                                               "prAnalysisCoeffVariation=4.5\n"
                                               "[CHANNEL1]\n"
                                               "pressureMax=abc\n"
                                               "devicePressureUnits=11\n"
                                               "outputSignalType=1\n"
                                               "dependanceType=2\n"
                                               "accuracyAllowed=нет\n"
                                               "lstChannelsNames=x, y\n"
                                               "[COMMON]\n"
                                               "searchSingleDevice=yes\n"
                                               "searchMode=true\n"));
        ConfiguratorFixture f;
        VerificationSettings& s = *g_verificationSettings;
        ChannelRecord& c = *g_device->currentChannel();
        s.temperature = "20";
        s.modelTZS = 5;
        s.groupPointCount = 9;
        s.glakReadMode = 1;
        s.prVerificationType->setValue(1);
        c.rangeHigh = 100;
        c.allowedError = 0.25;
        TextDiscription::lstId = QStringList{"kept"};
        g_device->setFlag(DeviceZFN::SearchFirstOnly, true);

        f.answer({project});
        f.trigger("action_openProject");
        QCOMPARE(f.bench.popUps(),
                 QStringList{"Недопустимые значения заменены значениями по умолчанию: lmvIdNumber, "
                             "currentPortIndexMax, currentPortIndexMin, modelTZS, etalonDelta, groupPointCount, "
                             "glakReadMode, prProtocolDecimals, prVerificationType, prAnalysisCoeffAccuracy, "
                             "pressureMax, devicePressureUnits, dependanceType, accuracyAllowed, searchSingleDevice"});
        QCOMPARE(s.verificatorName, QString("Иван"));
        QCOMPARE(s.temperature, QString("-"));
        QCOMPARE(s.currentPortIndexMax, qint16(-1));
        QCOMPARE(s.modelTZS, quint8(0));
        QCOMPARE(s.groupPointCount, 9);
        QCOMPARE(s.glakReadMode, 1);
        QCOMPARE(s.prVerificationType->value(), 1);
        QCOMPARE(s.prAnalysisCoeffVariation->value(), 4.5);
        QCOMPARE(c.rangeHigh, 360.0);
        QCOMPARE(c.outputHigh, 20.0);
        QCOMPARE(c.allowedError, 0.1);
        QCOMPARE(TextDiscription::lstChannelsNames, QStringList({"x", "y"}));
        QCOMPARE(TextDiscription::lstId, QStringList{"kept"});
        QVERIFY(!g_device->getFlag(DeviceZFN::SearchFirstOnly).toBool());
        QVERIFY(g_device->getFlag(DeviceZFN::SearchPortRange).toBool());
        QVERIFY(titleOf(f).endsWith("  bad.ini"));

        const QString missing = TestEnvironment::homePath() + "/missing.ini";
        QVERIFY(ConfiguratorFixture::writeFile(missing, "[CHANNEL1]\npressureMax=50\n"));
        c.allowedError = 0.25;
        f.answer({missing});
        f.trigger("action_openProject");
        QCOMPARE(c.allowedError, 0.1);
        QCOMPARE(f.bench.popUps().size(), 1);
    }

    // A file that is no INI file is not overwritten; a folder that cannot be made is a failed save;
    // a settings page that refuses a field writes nothing and keeps the operator on that field.
    // Each keeps the title and the last project.
    void failedSaveKeepsTheOldFile()
    {
        ConfiguratorFixture f;
        const QString good = projectsFolder() + "/good.ini";
        const QString foreign = TestEnvironment::homePath() + "/foreign.ini";
        QVERIFY(ConfiguratorFixture::writeFile(foreign, "[INFO\nbroken\n"));
        f.answer({good, foreign, foreign + "/inside.ini"});
        f.trigger("action_saveProject");
        const QString title = titleOf(f);
        f.trigger("action_saveProject");
        f.trigger("action_saveProject");
        const QString saveError = "При сохранении проекта возникла ошибка!";
        QCOMPARE(f.bench.popUps(), QStringList({saveError, saveError}));
        QCOMPARE(ConfiguratorFixture::readFile(foreign), QByteArray("[INFO\nbroken\n"));
        QCOMPARE(titleOf(f), title);
        QCOMPARE(confValue("settingFilePathLastConfigurationFile"), good);

        f.show();
        QVERIFY(QTest::qWaitForWindowActive(f.window.get()));
        QTest::qWait(20);
        requireChild<QTabWidget>(f.window.get(), "tabDeviceConfig")
            ->setCurrentWidget(requireChild<QWidget>(f.window.get(), "tabVerification"));
        auto* page = requireChild<QWidget>(f.window.get(), "tabConfiguration");
        requireChild<QTabWidget>(f.window.get(), "tabVerificationTabWidget")->setCurrentWidget(page);
        requireChild<QLineEdit>(page, "lineEdit_verificatorName")->setText("Иванов");
        auto* table = requireChild<QTableView>(page, "tableView");
        const int lower = TabConfiguration::LowerColumn;
        table->model()->setData(table->model()->index(0, lower), "abc");
        const QString refused = projectsFolder() + "/refused.ini";
        f.answer({refused});
        f.trigger("action_saveProject");
        QCOMPARE(f.bench.popUps().mid(2), QStringList{"В выбранном поле содержатся неверные данные"});
        QVERIFY(!QFileInfo::exists(refused));
        QCOMPARE(titleOf(f), title);
        QCOMPARE(confValue("settingFilePathLastConfigurationFile"), good);
        QCOMPARE(QApplication::focusWidget(), table);
        QCOMPARE(table->currentIndex().column(), lower);
    }

    void confIniRemembersTheProjectFolder()
    {
        ConfiguratorModule::setPathSetting(ConfiguratorModule::settingFilePathLastConfigurationFile,
                                           projectsFolder() + "/vanished.ini");
        ConfiguratorFixture f;
        const QString title = titleOf(f);
        f.show();
        QTest::qWait(20);
        QVERIFY(f.bench.popUps().isEmpty());
        QDir(ConfiguratorFixture::settingsFolder()).removeRecursively();
        f.trigger("action_openProject");
        QCOMPARE(f.requests().size(), 1);
        QCOMPARE(f.requests().first().path, projectsFolder());
        QVERIFY(QFileInfo(projectsFolder()).isDir());
        QCOMPARE(confValue("settingFilePathConfiguration"), projectsFolder());
        QCOMPARE(titleOf(f), title);

        const QByteArray conf = ConfiguratorFixture::readFile(confIni());
        const QDateTime written = QFileInfo(confIni()).lastModified();
        f.answer({projectsFolder() + "/absent.ini"});
        f.trigger("action_openProject");
        QCOMPARE(ConfiguratorFixture::readFile(confIni()), conf);
        QCOMPARE(QFileInfo(confIni()).lastModified(), written);

        f.answer({TestEnvironment::homePath() + "/elsewhere/p.ini"});
        f.trigger("action_openProject");
        QCOMPARE(confValue("settingFilePathConfiguration"), TestEnvironment::homePath() + "/elsewhere");
        QCOMPARE(f.requests().last().path, projectsFolder());
    }
};

QTEST_MAIN(TestProjectFiles)
#include "test_project_files.moc"
