#include "ConfiguratorModule.h"
#include "DeviceAuxBlock.h"
#include "DeviceTestBench.h"
#include "QueuedSpy.h"
#include "IconPainter.h"
#include "IconSet.h"
#include "MainWindow.h"
#include "PollController.h"
#include "ScreenLocker.h"
#include "StartUp.h"
#include "ChildLookup.h"
#include "TestEnvironment.h"
#include "TextDiscription.h"
#include "VerificationSettings.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QMenuBar>
#include <QProgressBar>
#include <QStatusBar>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QToolBar>
#include <QtTest>
#include <memory>

namespace {

QStringList tabTitles(const QTabWidget* tabs)
{
    QStringList titles;
    for (int i = 0; i < tabs->count(); ++i)
        titles << tabs->tabText(i);
    return titles;
}

QStringList actionTexts(const QList<QAction*>& actions, bool visibleOnly = false)
{
    QStringList texts;
    for (const QAction* action : actions)
        if (!visibleOnly || action->isVisible())
            texts << action->text();
    return texts;
}

// The window on a device object whose port list holds three ports that lead nowhere.
struct WindowFixture
{
    DeviceTestBench bench{0};
    std::unique_ptr<MainWindow> window;

    explicit WindowFixture(const QStringList& arguments = {})
    {
        bench.publishPorts({"COM1=/nonexistent/1", "COM2=/nonexistent/2", "COM3=/nonexistent/3"});
        window = std::make_unique<MainWindow>();
        QList<QByteArray> storage{"arm_zfn"};
        for (const QString& argument : arguments)
            storage << argument.toLatin1();
        std::vector<char*> argv;
        for (QByteArray& argument : storage)
            argv.push_back(argument.data());
        StartUp::parseArguments(int(argv.size()), argv.data(), window.get());
    }

    template <typename T>
    T* find(const char* name) const
    {
        return requireChild<T>(window.get(), name);
    }
    QTabWidget* pages() const { return find<QTabWidget>("tabDeviceConfig"); }
    QAction* action(const char* name) const { return find<QAction>(name); }
    ScreenLocker* locker() const { return window->findChild<ScreenLocker*>(); }
    void show()
    {
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    }
};

}  // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { TestEnvironment::prepareWithChoiceLists(); }

    void pagesInEachStartMode_data()
    {
        const QStringList withoutGraduation{"Настройка связи", "Настройки ЗФН", "Архив", "Поверка", "HART"};
        const QStringList withGraduation{"Настройка связи", "Настройки ЗФН", "Архив", "Градуировка", "Поверка", "HART"};
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QStringList>("titles");
        QTest::newRow("no switch") << QStringList() << withoutGraduation;
        QTest::newRow("switch with a trailing letter") << QStringList{"-tuneworks"} << withoutGraduation;
        QTest::newRow("tunework") << QStringList{"-tunework"} << withGraduation;
        QTest::newRow("tunework twice") << QStringList{"-tunework", "-tunework"} << withGraduation;
        QTest::newRow("service key") << QStringList{"-serviceKey42"} << withGraduation;
        QTest::newRow("service key twice") << QStringList{"-serviceKey42", "-serviceKey42"} << withGraduation;
        QTest::newRow("both") << QStringList{"-serviceKey42", "-tunework"} << withGraduation;
    }

    void pagesInEachStartMode()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QStringList, titles);
        WindowFixture w(arguments);
        QCOMPARE(tabTitles(w.pages()), titles);
        QCOMPARE(tabTitles(w.find<QTabWidget>("tabVerificationTabWidget")),
                 QStringList({"Настройка", "Измерение", "Результаты"}));
        const bool graduation = titles.contains("Градуировка");
        QCOMPARE(w.action("action_emulation")->isVisible(), graduation);
        QCOMPARE(w.action("action_measurment")->isVisible(), graduation);

        w.window->showResultsTab();
        QCOMPARE(w.pages()->currentIndex(), graduation ? 4 : 3);
        QCOMPARE(w.pages()->currentWidget()->objectName(), QString("tabVerification"));
        QCOMPARE(w.find<QTabWidget>("tabVerificationTabWidget")->currentWidget()->objectName(),
                 QString("tabResults"));
    }

    void menusActionsAndTitle()
    {
        WindowFixture w;
        QCOMPARE(w.window->windowTitle(), QString("Автоматизированное рабочее место (АРМ) ЗФН   версия 1.4.3"));
        w.window->setProjectName("a.ini");
        QCOMPARE(w.window->windowTitle(), QString("Автоматизированное рабочее место (АРМ) ЗФН   версия 1.4.3  a.ini"));

        QCOMPARE(actionTexts(w.window->menuBar()->actions(), true), QStringList({"Файл", "Команды"}));
        QCOMPARE(actionTexts(w.find<QMenu>("menu")->actions()),
                 QStringList({"Открыть проект", "Импорт архива из файла", "", "Сохранить проект",
                              "Экспорт архива в файл", "", "Выход"}));
        QCOMPARE(actionTexts(w.find<QMenu>("menu_comands")->actions()),
                 QStringList({"Поиск устройств", "Отключить устройство", "Полный экран", "",
                              "Добавить точку в результаты", "Добавить группу измерений"}));
        QCOMPARE(actionTexts(w.find<QMenu>("menu_graduation")->actions()), QStringList({"Эмуляция", "Измерение"}));

        const QList<QPair<const char*, QString>> shortcuts{
            {"action_openProject", "Ctrl+O"},     {"action_saveProject", "Ctrl+S"},
            {"action_quit", "Ctrl+Q"},            {"action_foundDevices", "Ctrl+F"},
            {"action_disconnectCurrentDevice", "Ctrl+D"}, {"action_showFullScreen", "Alt+Return"},
            {"action_addPointToResult", "Space"}, {"action_addGroupToResult", "Shift+Return"},
            {"action_openArchive", ""},           {"action_emulation", ""}};
        for (const auto& shortcut : shortcuts)
            QCOMPARE(w.action(shortcut.first)->shortcut().toString(), shortcut.second);

        for (const char* name : {"action_openProject", "action_saveProject", "action_quit", "action_foundDevices",
                                 "action_disconnectCurrentDevice", "action_showFullScreen", "action_addPointToResult",
                                 "action_addGroupToResult"})
            QVERIFY2(!w.action(name)->icon().isNull(), name);
        QVERIFY(w.action("action_openArchive")->icon().isNull());
        QCOMPARE(w.action("action_quit")->menuRole(), QAction::QuitRole);
        QVERIFY(!w.find<QStatusBar>("statusBar")->isVisibleTo(w.window.get()));
        QVERIFY(!w.find<QToolBar>("mainToolBar")->isVisibleTo(w.window.get()));
    }

    void addActionsFollowTheMeasurementTab()
    {
        WindowFixture w;
        QAction* addPoint = w.action("action_addPointToResult");
        QAction* addGroup = w.action("action_addGroupToResult");
        w.show();
        QVERIFY(!addPoint->isVisible() && !addGroup->isVisible());
        QVERIFY(!addPoint->isEnabled() && !addGroup->isEnabled());

        w.pages()->setCurrentWidget(w.find<QWidget>("tabVerification"));
        w.find<QTabWidget>("tabVerificationTabWidget")->setCurrentWidget(w.find<QWidget>("tabMeasurement"));
        QVERIFY(addPoint->isVisible() && addGroup->isVisible());
        QVERIFY(!addPoint->isEnabled());

        w.pages()->setCurrentIndex(0);
        QVERIFY(!addPoint->isVisible() && !addGroup->isVisible());

        // Closing the window while the measurement page is up hides that page once more.
        w.pages()->setCurrentWidget(w.find<QWidget>("tabVerification"));
        w.window.reset();
        QVERIFY(!g_device->auxBlock()->addPointAction);
    }

    void overlayLocksEveryKind()
    {
        WindowFixture w;
        w.show();
        ScreenLocker* locker = w.locker();
        auto* bar = locker->findChild<QProgressBar*>("progressBar_locker");
        const int offset = w.window->menuBar()->height() + 2 * w.pages()->tabBar()->height();
        QCOMPARE(g_lockerOffsetY, offset);
        QVERIFY(offset > 0);

        for (const quint8 kind : {quint8(0), quint8(1), quint8(2)}) {
            emit g_device->lockInteface(kind);
            QVERIFY(locker->isVisible());
            QVERIFY(!w.window->menuBar()->isEnabled());
            QVERIFY(!w.pages()->isEnabled());
            QVERIFY(!w.action("action_foundDevices")->isEnabled());
            QVERIFY(!w.action("action_quit")->isEnabled());
            const QRect expected =
                kind == 1 ? QRect(0, offset, w.window->width(), w.window->height() - offset) : w.window->rect();
            QCOMPARE(locker->geometry(), expected);
            emit g_device->sendProgress(40);
            QCOMPARE(bar->value(), 40);

            emit g_device->unlockInteface();
            QVERIFY(!locker->isVisible());
            QVERIFY(w.window->menuBar()->isEnabled());
            QVERIFY(w.pages()->isEnabled());
            QVERIFY(w.action("action_foundDevices")->isEnabled());
            QVERIFY(!w.action("action_addPointToResult")->isEnabled());
            emit g_device->sendProgress(70);
            QCOMPARE(bar->value(), 40);
        }
    }

    void overlayFollowsResizeOnlyWhileShown()
    {
        WindowFixture w;
        w.show();
        ScreenLocker* locker = w.locker();
        const QSize hiddenSize = locker->size();
        w.window->resize(1100, 800);
        QTRY_COMPARE(w.window->size(), QSize(1100, 800));
        QCOMPARE(locker->size(), hiddenSize);

        emit g_device->lockInteface(1);
        w.window->resize(1200, 860);
        QTRY_COMPARE(locker->geometry(), QRect(0, g_lockerOffsetY, 1200, 860 - g_lockerOffsetY));
        emit g_device->unlockInteface();
    }

    void cancelAndHartEndReachTheDevice()
    {
        WindowFixture w;
        w.show();
        g_device->pollController()->stopRequested = false;
        emit g_device->lockInteface(0);
        QTest::mouseClick(w.locker()->findChild<QPushButton*>("pushButton_lockerCancel"), Qt::LeftButton);
        QVERIFY(g_device->pollController()->stopRequested);

        emit g_device->sendHartResult(3);
        QVERIFY(w.locker()->isVisible());
        emit g_device->sendHartResult(-1);
        QVERIFY(!w.locker()->isVisible());
        QVERIFY(w.window->menuBar()->isEnabled());
    }

    void shortcutsAreDeadWhileLocked()
    {
        WindowFixture w;
        w.show();
        QApplication::setActiveWindow(w.window.get());
        QVERIFY(QTest::qWaitForWindowActive(w.window.get()));
        QueuedSpy triggered(w.action("action_showFullScreen"), &QAction::triggered);
        emit g_device->lockInteface(2);
        QTest::keyClick(w.window.get(), Qt::Key_Return, Qt::AltModifier);
        QTRY_COMPARE(triggered.count(), 0);
        emit g_device->unlockInteface();
        QTest::keyClick(w.window.get(), Qt::Key_Return, Qt::AltModifier);
        QTRY_COMPARE(triggered.count(), 1);
    }

    void lastProjectReloadsOnFirstShowOnly()
    {
        WindowFixture w;
        VerificationSettings& settings = *g_verificationSettings;
        g_device->setFlag(DeviceZFN::SearchPortRange, true);
        settings.currentPortIndexMin = 1;
        settings.currentPortIndexMax = -1;
        const QString project = TestEnvironment::homePath() + "/last.ini";
        QVERIFY(g_device->configuratorModule()->saveProjectFile(project));
        ConfiguratorModule::setPathSetting(ConfiguratorModule::settingFilePathLastConfigurationFile, project);
        g_device->setFlag(DeviceZFN::SearchPortRange, false);
        settings.currentPortIndexMin = 0;
        auto* first = w.find<QComboBox>("comboBox_comIntervalMin");
        auto* last = w.find<QComboBox>("comboBox_comIntervalMax");
        last->setCurrentIndex(0);
        QCOMPARE(first->currentIndex(), 0);

        w.show();
        QTRY_COMPARE(last->currentIndex(), 2);
        QCOMPARE(first->currentIndex(), 1);
        QVERIFY(w.find<QCheckBox>("checkBox_searchDeviceMode")->isChecked());

        first->setCurrentIndex(0);
        w.window->hide();
        w.show();
        QTest::qWait(20);
        QCOMPARE(first->currentIndex(), 0);
    }

    void iconsComeFromTheImagesFolder()
    {
        const QStringList names = IconSet::names();
        QCOMPARE(names.size(), 21);
        QCOMPARE(QStringList(names).removeDuplicates(), 0);
        QCOMPARE(names.first(), QString("arrow_up_green"));
        QCOMPARE(names.at(6), QString("symbol_exit"));

        QTemporaryDir empty;
        IconSet::load(empty.path());
        QVERIFY(g_icon_symbol_exit.isNull());
        QVERIFY(g_icon_arrow_up_green.isNull());

        QTemporaryDir drawn;
        QVERIFY(IconPainter::writeSet(drawn.path(), names));
        IconSet::load(drawn.path());
        for (const QIcon* icon : {&g_icon_arrow_up_green, &g_icon_arrow_down_red, &g_icon_symbol_exit,
                                  &g_icon_symbol_elementEdit, &g_icon_symbol_searchDev})
            QVERIFY(!icon->isNull());
        const QImage up = IconPainter::draw("arrow_up_green");
        const QImage down = IconPainter::draw("arrow_down_red");
        QCOMPARE(up.size(), QSize(IconPainter::pictureSize, IconPainter::pictureSize));
        QVERIFY(up != down);
        QVERIFY(up != IconPainter::draw("no such picture"));

        // Started from a folder without pictures, the program finds (or first draws) its own set beside it.
        QTemporaryDir elsewhere;
        const QString previous = QDir::currentPath();
        QDir::setCurrent(elsewhere.path());
        loadIcons();
        QDir::setCurrent(previous);
        QCOMPARE(IconSet::imagesFolder(), QCoreApplication::applicationDirPath() + "/Images");
        QVERIFY(QFileInfo::exists(QCoreApplication::applicationDirPath() + "/Images/symbol_exit.png"));
        QVERIFY(!g_icon_symbol_exit.isNull());
    }
};

QTEST_MAIN(TestMainWindow)
#include "test_main_window.moc"
