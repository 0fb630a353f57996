#include "ChannelsModel.h"
#include "ConfiguratorFixture.h"
#include "IniFile.h"
#include "TabConfiguration.h"
#include "TestEnvironment.h"
#include "TextDiscription.h"
#include "VerificationSettings.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QTabWidget>
#include <QTableView>
#include <QtTest>

namespace {

// Every key a project stores, in the order the module reads them: a value off its default as the
// file holds it (none where the page picks it from the templates beside the program), a value the
// module refuses (none where any text is taken), and what a refused or missing value turns into
// (none: the value loaded before stays).
struct StoredKey
{
    const char* key;
    const char* value;
    const char* refused;
    const char* fallback;
};

const StoredKey storedKeys[] = {
    {"INFO/temperature", "21", nullptr, "-"},
    {"INFO/humidity", "55", nullptr, "-"},
    {"INFO/atmPressure", "101", nullptr, "-"},
    {"INFO/atmPressureUnits", "кПа", nullptr, nullptr},
    {"INFO/verificatorName", "\"Петров П.П., инженер\"", nullptr, "-"},
    {"INFO/verificatorPos", "инженер", nullptr, "-"},
    {"INFO/chefName", "Сидоров", nullptr, "-"},
    {"INFO/chefPos", "начальник", nullptr, "-"},
    {"INFO/lmvIdNumber", "42", "12abc", "0"},
    {"INFO/etalonIdString", "1234567", nullptr, "0000000"},
    {"INFO/txtProtocolName", nullptr, nullptr, nullptr},
    {"INFO/currentPortIndexMax", "-1", "-2", "-1"},
    {"INFO/currentPortIndexMin", "1", "40000", nullptr},
    {"INFO/modelTZS", "22", "300", "0"},
    {"INFO/tzsAccuracyClass", "3", "4", "0"},
    {"INFO/etalonDelta", "0.02", "nan", nullptr},
    {"INFO/indicatorCoff", "0.5", "x", nullptr},
    {"INFO/groupPointCount", "7", "0", nullptr},
    {"INFO/glakSerialNumber", "Г-9", nullptr, nullptr},
    {"INFO/glakReadMode", "1", "2", nullptr},
    {"INFO/prPsetterType", "Задатчик", nullptr, nullptr},
    {"INFO/prPsetterNumber", "17", nullptr, nullptr},
    {"INFO/prPsetterAccuracy", "0.05", nullptr, nullptr},
    {"INFO/prProtocolDecimals", "5", "11", nullptr},
    {"INFO/prProtocolNumber", "П-3", nullptr, nullptr},
    {"INFO/prOrganisation", "ФБУ", nullptr, nullptr},
    {"INFO/prOrganisationAddress", "\"ул. Мира, 1\\nкорп. 2\"", nullptr, nullptr},
    {"INFO/prOrganisationCert", "RA.1", nullptr, nullptr},
    {"INFO/prEtalonList", "МТ-1", nullptr, nullptr},
    {"INFO/prDeviceOwner", "Завод", nullptr, nullptr},
    {"INFO/prDeviceNotes", "нет", nullptr, nullptr},
    {"INFO/prDeviceDoc", "МП-1", nullptr, nullptr},
    {"INFO/prVerificationType", "1", "7", nullptr},
    {"INFO/prAnalysisCoeffAccuracy", "0.5", "0.05", nullptr},
    {"INFO/prAnalysisCoeffVariation", "3.5", "-1", nullptr},
    {"INFO/prRegNumberZfn", "123-45", nullptr, nullptr},
    {"INFO/prRegNumberTzs", "678-90", nullptr, nullptr},
    {"CHANNEL1/txtName", "Датчик давления", nullptr, "нет"},
    {"CHANNEL1/txtModel", "АИР-20", nullptr, "1"},
    {"CHANNEL1/txtSerial", "А-20", nullptr, "0"},
    {"CHANNEL1/pressureMin", "-1.5", "", "0"},
    {"CHANNEL1/pressureMax", "2.5", "abc", "360"},
    {"CHANNEL1/devicePressureUnits", "10", "11", "0"},
    {"CHANNEL1/outputSignalType", "3", "4", "0"},
    {"CHANNEL1/dependanceType", "1", "2", "0"},
    {"CHANNEL1/accuracyAllowed", "0.25", "нет", "0.1"},
    {"CHANNEL1/lstChannelsNames", "Канал 1, \"a, b\"", nullptr, nullptr},
    {"CHANNEL1/lstId", "7", nullptr, nullptr},
    {"COMMON/searchSingleDevice", "true", "yes", "false"},
    {"COMMON/searchMode", "true", "2", "false"},
};

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
    return IniFile::open(confIni())->value(key).toString();
}

// A project file of the table's values, or of its refused ones where it has some.
QString writeProject(const QString& name, bool refused)
{
    const QString path = TestEnvironment::homePath() + '/' + name;
    QByteArray text;
    QByteArray group;
    for (const StoredKey& row : storedKeys) {
        const QList<QByteArray> parts = QByteArray(row.key).split('/');
        if (parts[0] != group)
            text += "[" + (group = parts[0]) + "]\n";
        const char* value = refused ? row.refused : row.value;
        if (value)
            text += parts[1] + '=' + value + '\n';
    }
    if (!ConfiguratorFixture::writeFile(path, text))
        qFatal("no project file written");
    return path;
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

void selectLastPort(const ConfiguratorFixture& f, int index)
{
    requireChild<QComboBox>(f.window.get(), "comboBox_comIntervalMax")->setCurrentIndex(index);
}

}  // namespace

class TestProjectFiles : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { TestEnvironment::prepareWithChoiceLists(); }

    void init() { QDir(ConfiguratorFixture::settingsFolder()).removeRecursively(); }

    // Opened and saved through the pages, a project comes back key for key; a project of refused
    // and missing values then gives each key its fallback, with one message naming the refused.
    void everyKeyRoundTripsAndFallsBack()
    {
        ConfiguratorFixture f;
        const QString good = writeProject("good.ini", false);
        const QString bad = writeProject("bad.ini", true);
        const QString saved = projectsFolder() + "/saved.ini";
        const QString fallen = projectsFolder() + "/fallen.ini";
        f.answer({good, saved, bad, fallen});
        f.trigger("action_openProject");
        QVERIFY(f.window->windowTitle().endsWith("  good.ini"));
        QCOMPARE(g_device->currentChannel()->outputLow, 4.0);
        const ChannelsModel* channels = g_device->channelsModel();
        QVERIFY(channels->data(channels->index(0, 1)).toString().endsWith(unitName(10)));
        f.trigger("action_saveProject");
        QVERIFY(f.bench.popUps().isEmpty());
        f.trigger("action_openProject");
        f.trigger("action_saveProject");

        QStringList keys;
        QStringList refusedKeys;
        const auto written = IniFile::open(good);
        const auto savedBack = IniFile::open(saved);
        const auto fellBack = IniFile::open(fallen);
        for (const StoredKey& row : storedKeys) {
            keys << row.key;
            if (row.refused)
                refusedKeys << QString(row.key).section('/', 1);
            if (!row.value)
                continue;
            QVERIFY2(savedBack->value(row.key) == written->value(row.key), row.key);
            const QVariant fallback = row.fallback ? QVariant(QString::fromUtf8(row.fallback)) : written->value(row.key);
            QVERIFY2(fellBack->value(row.key) == fallback, row.key);
        }
        QStringList savedKeys = savedBack->allKeys();
        savedKeys.sort();
        keys.sort();
        QCOMPARE(savedKeys, keys);
        QCOMPARE(f.bench.popUps(),
                 QStringList{"Недопустимые значения заменены значениями по умолчанию: " + refusedKeys.join(", ")});
    }

    void textWithCommasComesBackExactly_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QByteArray>("written");
        QTest::addColumn<QString>("text");
        for (const char* key : {"INFO/verificatorName", "CHANNEL1/txtName", "INFO/prOrganisation"})
            QTest::addRow("%s, without quotes", key) << key << QByteArray("a, b ,c") << "a, b ,c";
        const QString name = QStringLiteral("INFO/verificatorName");
        QTest::newRow("quoted") << name << QByteArray("\"a, b ,c\"") << "a, b ,c";
        QTest::newRow("quoted part") << name << QByteArray("a,\"b , c\" ,\td") << "a,b , c ,\td";
        QTest::newRow("escaped quote") << name << QByteArray("a\\\" ,b") << "a\" ,b";
        QTest::newRow("continued line") << name << QByteArray("a ,\\\n  b") << "a ,  b";
    }

    // A text with commas comes back as written, blanks and all, from a file written by hand without
    // quotes, which QSettings reads as a list, and from the project the module saves of it.
    void textWithCommasComesBackExactly()
    {
        QFETCH(QString, key);
        QFETCH(QByteArray, written);
        QFETCH(QString, text);
        const auto project = [&key](const QString& name, const QByteArray& value) {
            const QString path = TestEnvironment::homePath() + '/' + name;
            const QByteArray line = key.section('/', 1).toUtf8() + '=' + value + '\n';
            if (!ConfiguratorFixture::writeFile(path, '[' + key.section('/', 0, 0).toUtf8() + "]\n" + line))
                qFatal("no project file written");
            return path;
        };
        ConfiguratorFixture f;
        const QString saved = projectsFolder() + "/saved.ini";
        const QString savedAgain = projectsFolder() + "/again.ini";
        f.answer({project("commas.ini", written), saved, project("other.ini", "other"), saved, savedAgain});
        f.trigger("action_openProject");
        f.trigger("action_saveProject");
        f.trigger("action_openProject");
        f.trigger("action_openProject");
        f.trigger("action_saveProject");
        QCOMPARE(IniFile::open(saved)->value(key), QVariant(text));
        QCOMPARE(IniFile::open(savedAgain)->value(key), QVariant(text));
        QCOMPARE(f.bench.popUps(), QStringList());
    }

    // conf.ini keeps the project folder and the last project: a vanished one opens nothing; a name
    // without a suffix is saved as an INI file, which the next start loads on its first show only, so
    // a restore after minimising keeps what was changed since; a failed open leaves conf.ini as it was.
    void confIniRemembersTheLastProject()
    {
        const QString project = projectsFolder() + "/name.ini";
        ConfiguratorModule::setPathSetting(ConfiguratorModule::settingFilePathLastConfigurationFile,
                                           projectsFolder() + "/vanished.ini");
        {
            ConfiguratorFixture f;
            const QString title = f.window->windowTitle();
            f.show();
            QTest::qWait(20);
            QVERIFY(f.bench.popUps().isEmpty());
            QCOMPARE(f.window->windowTitle(), title);
            QDir(ConfiguratorFixture::settingsFolder()).removeRecursively();
            f.trigger("action_openProject");
            QCOMPARE(f.requests().first().path, projectsFolder());
            QVERIFY(QFileInfo(projectsFolder()).isDir());
            QCOMPARE(confValue("settingFilePathConfiguration"), projectsFolder());

            selectLastPort(f, 2);
            g_device->currentChannel()->name = "Датчик до перезапуска";
            g_tabConfiguration->loadSettings();
            f.answer({projectsFolder() + "/name"});
            f.trigger("action_saveProject");
            QCOMPARE(f.requests().last().mode, FileChooser::Save);
            QCOMPARE(confValue("settingFilePathLastConfigurationFile"), project);
            QVERIFY(f.window->windowTitle().endsWith("  name.ini"));
        }
        ConfiguratorFixture f;
        f.show();
        QTRY_COMPARE(g_device->currentChannel()->name, QString("Датчик до перезапуска"));
        QVERIFY(f.window->windowTitle().endsWith("  name.ini"));
        QCOMPARE(requireChild<QComboBox>(f.window.get(), "comboBox_comIntervalMax")->currentIndex(), 2);
        QVERIFY(f.bench.popUps().isEmpty());
        selectLastPort(f, 1);
        f.window->hide();
        f.show();
        QTest::qWait(20);
        QCOMPARE(requireChild<QComboBox>(f.window.get(), "comboBox_comIntervalMax")->currentIndex(), 1);

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
        const QString good = writeProject("good.ini", false);
        f.answer({good, damaged});
        f.trigger("action_openProject");
        const QByteArray before = storedRecords();
        const QString title = f.window->windowTitle();
        f.trigger("action_openProject");
        QCOMPARE(f.bench.popUps(), QStringList{openError});
        QCOMPARE(storedRecords(), before);
        QCOMPARE(f.window->windowTitle(), title);
        QCOMPARE(confValue("settingFilePathLastConfigurationFile"), good);
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
        const QString title = f.window->windowTitle();
        f.trigger("action_saveProject");
        f.trigger("action_saveProject");
        const QString saveError = "При сохранении проекта возникла ошибка!";
        QCOMPARE(f.bench.popUps(), QStringList({saveError, saveError}));
        QCOMPARE(ConfiguratorFixture::readFile(foreign), QByteArray("[INFO\nbroken\n"));
        QCOMPARE(f.window->windowTitle(), title);
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
        QCOMPARE(f.window->windowTitle(), title);
        QCOMPARE(confValue("settingFilePathLastConfigurationFile"), good);
        QCOMPARE(QApplication::focusWidget(), table);
        QCOMPARE(table->currentIndex().column(), lower);
    }

};

QTEST_MAIN(TestProjectFiles)
#include "test_project_files.moc"
