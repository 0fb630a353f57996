#include "ArchiveModel.h"
#include "ArchiveTestData.h"
#include "BoundedWait.h"
#include "ChildLookup.h"
#include "ConfiguratorFixture.h"
#include "DeviceAuxBlock.h"
#include "DeviceSettings.h"
#include "DeviceTestBench.h"
#include "DialogAnswerer.h"
#include "FileDialogText.h"
#include "GraduationMenu.h"
#include "IconPainter.h"
#include "IconSet.h"
#include "LockKind.h"
#include "MainWindow.h"
#include "PollController.h"
#include "QuestionAnswers.h"
#include "QuestionTexts.h"
#include "QueuedSpy.h"
#include "QuitOnSignal.h"
#include "ResultRecord.h"
#include "ResultsModel.h"
#include "ScreenLocker.h"
#include "StartSwitches.h"
#include "StartUp.h"
#include "TabFactorySettings.h"
#include "TabSearchDevicesZFN.h"
#include "TestEnvironment.h"
#include "TextDiscription.h"

#include <QAbstractSpinBox>
#include <QAction>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QScopeGuard>
#include <QScrollBar>
#include <QSemaphore>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>
#include <QTreeView>
#include <QWindow>
#include <QtTest>
#include <algorithm>
#include <atomic>
#include <csignal>
#include <memory>
#include <utility>
#include <vector>
#include <qpa/qwindowsysteminterface.h>

namespace {

// The window on a device object whose port list holds three ports that lead nowhere.
struct WindowFixture
{
    DeviceTestBench bench{0};
    std::unique_ptr<MainWindow> window;

    explicit WindowFixture(const QStringList& switches = {})
    {
        bench.publishPorts({"COM1=/nonexistent/1", "COM2=/nonexistent/2", "COM3=/nonexistent/3"});
        window = std::make_unique<MainWindow>();
        applyStartSwitches(window.get(), switches);
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

// The shown text of a spin box or combo box.
QString shownValue(const QWidget* field)
{
    if (const auto* combo = qobject_cast<const QComboBox*>(field))
        return combo->currentText();
    return qobject_cast<const QAbstractSpinBox*>(field)->text();
}

// One notch of the wheel over the middle of the widget, delivered as the platform delivers it.
void turnWheel(QWidget* over, int angle)
{
    QWidget* window = over->window();
    const QPoint local = over->mapTo(window, over->rect().center());
    QWindowSystemInterface::handleWheelEvent(window->windowHandle(), local, window->mapToGlobal(local), QPoint(),
                                             QPoint(0, angle));
    QWindowSystemInterface::flushWindowSystemEvents();
}

int requestCount(const CalibratorEmulator& emulator, const QString& start)
{
    const QList<EmulatorRequest> requests = emulator.requests();
    return int(std::count_if(requests.cbegin(), requests.cend(),
                             [&](const EmulatorRequest& request) { return request.command.startsWith(start); }));
}

// What the window's thread waits in when the program is told to quit.
enum class UnderWay { Nothing, SilentPing, SlowPing, SilentConnect, SlowConnect, PingAfterCutPassThrough };
enum class QuitBy { TerminateSignal, WindowSystemClose, QuitKey };
// An exchange the window's thread waits in, started from the window.
enum class OwnExchange { Connect, ClockRead };

}  // namespace

Q_DECLARE_METATYPE(UnderWay)
Q_DECLARE_METATYPE(QuitBy)
Q_DECLARE_METATYPE(OwnExchange)

class TestMainWindow : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { TestEnvironment::prepareWithChoiceLists(); }

    void pagesInEachStartMode_data()
    {
        QTest::addColumn<QStringList>("switches");
        QTest::addColumn<bool>("graduation");
        QTest::addColumn<bool>("factory");
        QTest::addColumn<bool>("writable");
        QTest::newRow("no switch") << QStringList() << false << false << false;
        QTest::newRow("switches not spelt exactly")
            << QStringList{"-tuneworks", "-servicekey42", "tunework"} << false << false << false;
        QTest::newRow("tunework") << QStringList{"-tunework"} << true << false << true;
        QTest::newRow("service key twice") << QStringList{"-serviceKey42", "-serviceKey42"} << true << true << false;
        QTest::newRow("both") << QStringList{"-serviceKey42", "-tunework"} << true << true << true;
    }

    // The graduation page and its factory page follow the switches; without the tune switch the
    // graduation pages still set and read, but write nothing.
    void pagesInEachStartMode()
    {
        QFETCH(QStringList, switches);
        QFETCH(bool, graduation);
        QFETCH(bool, factory);
        QFETCH(bool, writable);
        WindowFixture w(switches);
        QCOMPARE(w.pages()->indexOf(w.find<QWidget>("tabGraduation")) >= 0, graduation);
        QCOMPARE(w.action("action_emulation")->isVisible(), graduation);
        QCOMPARE(w.action("action_measurment")->isVisible(), graduation);

        w.window->showResultsTab();
        QCOMPARE(w.pages()->currentWidget()->objectName(), QString("tabVerification"));
        QCOMPARE(w.find<QTabWidget>("tabVerificationTabWidget")->currentWidget()->objectName(), QString("tabResults"));
        if (!graduation)
            return;
        auto* tabs = requireChild<QTabWidget>(w.find<GraduationMenu>("GraduationMenu"), "tabWidget");
        QCOMPARE(tabs->count(), factory ? 3 : 2);
        QCOMPARE(w.window->findChildren<TabFactorySettings*>().size(), factory ? 1 : 0);
        for (const char* name : {"pushButton_writeMinValue", "pushButton_writeShiftValue", "pushButton_writeData"})
            QVERIFY2(w.find<QPushButton>(name)->isEnabled() == writable, name);
        for (const char* name : {"pushButton_setMinCurrentValue", "pushButton_readMinValue", "pushButton_readData"})
            QVERIFY2(w.find<QPushButton>(name)->isEnabled(), name);
        QCOMPARE(w.find<QLabel>("label_text_nonEditable")->isHidden(), writable);

        w.action("action_measurment")->trigger();
        QCOMPARE(w.pages()->currentWidget()->objectName(), QString("tabGraduation"));
        QCOMPARE(tabs->currentIndex(), 1);
        w.action("action_emulation")->trigger();
        QCOMPARE(tabs->currentIndex(), 0);
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

    // Every kind locks menus, pages and actions under its own text, locking again in the same or an
    // unknown kind changes nothing; only the stoppable exchange leaves the menu and the tab bars
    // uncovered, and the overlay follows the window's size only while it is shown.
    void overlayLocksEveryKind()
    {
        WindowFixture w;
        w.show();
        ScreenLocker* locker = w.locker();
        auto* bar = locker->findChild<QProgressBar*>("progressBar_locker");
        auto* cancel = locker->findChild<QPushButton*>("pushButton_lockerCancel");
        const int offset = w.window->menuBar()->height() + 2 * w.pages()->tabBar()->height();
        QCOMPARE(g_lockerOffsetY, offset);
        const struct
        {
            quint8 kind;
            QString format;
            bool cancellable;
        } kinds[] = {{LockKind::Search, "Поиск устройств... %p%", true},
                     {LockKind::StoppableExchange, "Идет обмен... %p%", true},
                     {LockKind::Exchange, "Идет обмен... %p%", false}};

        for (const auto& lock : kinds) {
            emit g_device->lockInteface(lock.kind);
            QVERIFY(locker->isVisible());
            QCOMPARE(bar->value(), 0);
            QCOMPARE(bar->format(), lock.format);
            QCOMPARE(cancel->isEnabled(), lock.cancellable);
            QVERIFY(!w.window->menuBar()->isEnabled());
            QVERIFY(!w.pages()->isEnabled());
            QVERIFY(!w.action("action_foundDevices")->isEnabled());
            QVERIFY(!w.action("action_quit")->isEnabled());
            const QRect expected = lock.kind == LockKind::StoppableExchange
                ? QRect(0, offset, w.window->width(), w.window->height() - offset)
                : w.window->rect();
            QCOMPARE(locker->geometry(), expected);
            emit g_device->sendProgress(250);
            QCOMPARE(bar->value(), 100);
            emit g_device->sendProgress(-3);
            QCOMPARE(bar->value(), 0);
            emit g_device->sendProgress(40);
            QCOMPARE(bar->value(), 40);
            locker->move(12, 34);
            emit g_device->lockInteface(lock.kind);
            emit g_device->lockInteface(77);
            QCOMPARE(locker->pos(), QPoint(12, 34));
            QCOMPARE(bar->format(), lock.format);

            emit g_device->unlockInteface();
            QVERIFY(!locker->isVisible());
            QVERIFY(w.window->menuBar()->isEnabled());
            QVERIFY(w.pages()->isEnabled());
            QVERIFY(w.action("action_foundDevices")->isEnabled());
            QVERIFY(!w.action("action_addPointToResult")->isEnabled());
            emit g_device->sendProgress(70);
            QCOMPARE(bar->value(), 40);
        }

        const QSize hiddenSize = locker->size();
        w.window->resize(1100, 800);
        QTRY_COMPARE(w.window->size(), QSize(1100, 800));
        QCOMPARE(locker->size(), hiddenSize);
        emit g_device->lockInteface(LockKind::StoppableExchange);
        w.window->resize(1200, 860);
        QTRY_COMPARE(locker->geometry(), QRect(0, offset, 1200, 860 - offset));

        // Cancel asks the device to stop; only the end marker of a HART operation unlocks.
        g_device->pollController()->stopRequested = false;
        QTest::mouseClick(cancel, Qt::LeftButton);
        QVERIFY(g_device->pollController()->stopRequested);
        emit g_device->sendHartResult(3);
        QVERIFY(locker->isVisible());
        emit g_device->sendHartResult(-1);
        QVERIFY(!locker->isVisible());
        QVERIFY(w.window->menuBar()->isEnabled());
    }

    // "Проверить устройство" on a calibrator that does not answer: its three tries run in the
    // window's thread, under the overlay shown once and hidden once, over a window that goes on
    // painting; then the failure is told.
    void silentPingShowsTheOverlay()
    {
        DeviceTestBench bench;
        MainWindow window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QVERIFY(bench.connectTo(0));
        QVERIFY(BoundedWait::until([&] { return window.menuBar()->isEnabled(); }));
        bench.emulator().setSilent(true);
        bench.clearPopUps();
        ScreenLocker* locker = window.findChild<ScreenLocker*>();
        QueuedSpy shows(&bench.device(), &DeviceZFN::lockInteface);
        QueuedSpy hides(&bench.device(), &DeviceZFN::unlockInteface);
        bool shownDuringPing = false;
        QTimer watch;
        watch.setInterval(50);
        connect(&watch, &QTimer::timeout, &watch, [&] {
            shownDuringPing = shownDuringPing || (locker->isVisible() && !window.menuBar()->isEnabled());
        });
        watch.start();
        // What the button and a HART operation's request both run.
        g_tabSearchDevices->checkCurrentDevice();
        watch.stop();
        QVERIFY(shownDuringPing);
        QCOMPARE(shows.size(), 1);
        QCOMPARE(hides.size(), 1);
        QVERIFY(!locker->isVisible());
        QVERIFY(window.menuBar()->isEnabled());
        QCOMPARE(bench.popUps(), QStringList{QStringLiteral("Нет связи с устройством.")});
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

    void wheelPassesOverUnfocusedFields_data()
    {
        QTest::addColumn<QStringList>("path");
        QTest::addColumn<QString>("holder");
        QTest::addColumn<int>("focusedAngle");
        const QStringList verification{"tabVerification", "tabConfiguration"};
        QTest::newRow("variation coefficient") << verification << "groupBox_errorCorrector" << 120;
        QTest::newRow("thermohygrometer read mode") << verification << "comboBox_glak_readmode" << -120;
        QTest::newRow("accuracy class, editable") << verification << "comboBox_accuracyClass" << -120;
        QTest::newRow("averagings") << QStringList{"tabDevice"} << "spinBox_numberOfAveraging" << 120;
        QTest::newRow("buzzer") << QStringList{"tabDevice"} << "comboBox_zummer" << -120;
    }

    // A wheel turned over a field without the focus scrolls the page, changes nothing and gives no
    // focus; the field that has the focus takes the wheel.
    void wheelPassesOverUnfocusedFields()
    {
        QFETCH(QStringList, path);
        QFETCH(QString, holder);
        QFETCH(int, focusedAngle);
        StartUp::initApplication();
        WindowFixture w;
        w.show();
        QApplication::setActiveWindow(w.window.get());
        QVERIFY(QTest::qWaitForWindowActive(w.window.get()));
        for (const QString& name : path) {
            auto* page = w.find<QWidget>(qPrintable(name));
            qobject_cast<QTabWidget*>(page->parentWidget()->parentWidget())->setCurrentWidget(page);
        }
        // A parameter row's editor has no name: the last field of its group is taken.
        auto* field = w.find<QWidget>(qPrintable(holder));
        if (!qobject_cast<QComboBox*>(field) && !qobject_cast<QAbstractSpinBox*>(field))
            field = field->findChildren<QAbstractSpinBox*>().last();
        QScrollArea* area = nullptr;
        for (QWidget* up = field; up && !area; up = up->parentWidget())
            area = qobject_cast<QScrollArea*>(up);
        if (area) {
            area->verticalScrollBar()->setValue(0);
            area->ensureWidgetVisible(field, 0, 0);
            QVERIFY(area->verticalScrollBar()->value() < area->verticalScrollBar()->maximum());
        }
        w.pages()->setFocus();
        const QString before = shownValue(field);
        const int scrolled = area ? area->verticalScrollBar()->value() : 0;

        turnWheel(field, -120);
        QCOMPARE(shownValue(field), before);
        QVERIFY(!field->hasFocus());
        QCOMPARE(field->focusPolicy(), Qt::StrongFocus);
        if (area)
            QVERIFY(area->verticalScrollBar()->value() > scrolled);

        field->setFocus(Qt::TabFocusReason);
        QVERIFY(field->hasFocus());
        turnWheel(field, focusedAngle);
        QVERIFY(shownValue(field) != before);
    }

    // Pictures come from the folder beside the program; one that is missing is drawn there first.
    void iconsComeFromTheImagesFolder()
    {
        QTemporaryDir empty;
        IconSet::load(empty.path());
        QVERIFY(g_icon_symbol_exit.isNull());

        QTemporaryDir drawn;
        QVERIFY(IconPainter::writeSet(drawn.path(), IconSet::names()));
        IconSet::load(drawn.path());
        for (const QIcon* icon : {&g_icon_arrow_up_green, &g_icon_symbol_exit, &g_icon_symbol_elementEdit})
            QVERIFY(!icon->isNull());
        QVERIFY(IconPainter::draw("arrow_up_green") != IconPainter::draw("arrow_down_red"));

        QTemporaryDir elsewhere;
        const QString previous = QDir::currentPath();
        QDir::setCurrent(elsewhere.path());
        loadIcons();
        QDir::setCurrent(previous);
        QCOMPARE(IconSet::imagesFolder(), QCoreApplication::applicationDirPath() + "/Images");
        QVERIFY(QFileInfo::exists(QCoreApplication::applicationDirPath() + "/Images/symbol_exit.png"));
        QVERIFY(!g_icon_symbol_exit.isNull());
    }

    // No translation ships, so a start without one is the usual start: Russian texts and not a word
    // in the log.
    void missingTranslationKeepsRussianTexts()
    {
        static QStringList logged;
        logged.clear();
        const QtMessageHandler previous = qInstallMessageHandler(
            [](QtMsgType, const QMessageLogContext&, const QString& text) { logged << text; });
        StartUp::loadTranslator();
        qInstallMessageHandler(previous);
        QCOMPARE(logged, QStringList());
        QCOMPARE(QCoreApplication::translate("QObject", "АРМ ЗФН"), QString("АРМ ЗФН"));
    }

    // Qt's own texts come in Russian: the archive file dialog as the file menu opens it. The dialog
    // is read and closed as soon as it is ready; whatever else turns up modal is closed too.
    void fileDialogSpeaksRussian()
    {
        StartUp::loadTranslator();
        WindowFixture w;
        w.show();
        QStringList shown;
        const DialogAnswerer reader([&](QDialog* modal) {
            shown << modal->metaObject()->className();
            if (auto* dialog = qobject_cast<QFileDialog*>(modal)) {
                for (const auto label : {QFileDialog::LookIn, QFileDialog::FileName, QFileDialog::FileType,
                                         QFileDialog::Accept, QFileDialog::Reject})
                    shown << dialog->labelText(label);
                shown << requireChild<QTreeView>(dialog, "treeView")->model()->headerData(3, Qt::Horizontal).toString();
            }
        });
        w.action("action_openArchive")->trigger();
        QCOMPARE(shown, QStringList({"QFileDialog", "Перейти к:", "&Имя файла:", "Типы файлов:", "&Открыть",
                                     "Отмена", "Дата изменения"}));
    }

    void everyFileDialogOpensForReal_data()
    {
        QTest::addColumn<QString>("page");
        QTest::addColumn<QString>("opener");
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("filters");
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("suffix");
        QTest::addColumn<bool>("asksForSuffix");
        const QString settings = ConfiguratorModule::settingsFolder();
        const QString projects = QStringLiteral("Файлы проекта АРМ ЗФН(*.ini)");
        QTest::newRow("project open") << QString() << "action_openProject" << "open" << "Открытие проекта" << projects
                                      << settings + "Projects" << QString() << false;
        QTest::newRow("project save") << QString() << "action_saveProject" << "save" << "Сохранение проекта" << projects
                                      << settings + "Projects" << ".ini" << true;
        QTest::newRow("archive import") << QString() << "action_openArchive" << "open" << "Загрузка архива"
                                        << "Файлы архива ZFN-20 (*.ZFN)" << settings + "Archives" << QString() << false;
        QTest::newRow("archive file") << QString() << "action_saveArchive" << "save" << "Сохранение архива"
                                      << "Файлы архива ЗФН (*.ZFN)" << settings + "Archives" << ".ZFN" << true;
        QTest::newRow("protocol") << "tabResults" << "pushButtonToExcel" << "save" << "Сохранение результатов"
                                  << "Файлы Excel(*.xlsx)" << settings + "Excel" << ".xlsx" << true;
        QTest::newRow("archive workbook") << "tabArchive" << "pushButton_convertToExcel" << "save" << "Сохранение архива"
                                          << "Файлы формата Excel 2007(*.xlsx)" << settings + "Excel" << ".xlsx" << true;
        // The plot names no folder, so Qt's dialog opens where it last was; the image takes the
        // suffix of the file type chosen in the dialog.
        QTest::newRow("plot image") << "tabMeasurement" << "pushButton_save" << "save" << "Save Image"
                                    << "Bitmap file (*.bmp);;JPEG file (*.jpeg);;Portable Network Graphics file (*.png)"
                                    << QString() << ".bmp" << false;
    }

    // Each file dialog of the window as Qt's own widget dialog shows it, with Qt's Russian loaded. A save
    // dialog is given a bare name: a file under that name with the kind's suffix is asked about in
    // Russian with "Нет" for Return, and "Нет" shows the dialog again on the name as typed; the plot's
    // image takes the suffix of the file type chosen. Every dialog is closed as soon as it is read.
    void everyFileDialogOpensForReal()
    {
        QFETCH(QString, page);
        QFETCH(QString, opener);
        QFETCH(QString, kind);
        QFETCH(QString, title);
        QFETCH(QString, filters);
        QFETCH(QString, folder);
        QFETCH(QString, suffix);
        QFETCH(bool, asksForSuffix);
        loadQtRussianAsAtStartUp();
        QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
        WindowFixture w;
        w.show();
        w.bench.device().archiveModel()->replaceRecords(ArchiveTestData::mixedRecords(3));
        w.bench.device().resultsModel()->append(ResultRecord());
        QTemporaryDir out;
        const QString asked = asksForSuffix ? "проба" + suffix : QString();
        if (!asked.isEmpty())
            QVERIFY(ConfiguratorFixture::writeFile(out.filePath(asked), "earlier"));

        QStringList questions;
        answerQuestions([&questions](const QMessageBox& box) {
            questions << box.text() + ' ' + buttonTexts(box);
            return false;
        });
        const auto restore = qScopeGuard([] { answerQuestions(nullptr); });
        QStringList seen;
        const DialogAnswerer answerer([&](QDialog* modal) {
            auto* dialog = qobject_cast<QFileDialog*>(modal);
            if (!dialog) {
                seen << modal->metaObject()->className();
                return;
            }
            seen << describe(dialog);
            if (seen.size() > 1 || kind == "open") {
                seen << requireChild<QLineEdit>(dialog, "fileNameEdit")->text();
                dialog->reject();
                return;
            }
            DialogAnswerer::choosePath(dialog, out.filePath("проба"));
        });
        const QObject* scope = page.isEmpty() ? w.window.get() : w.find<QWidget>(qPrintable(page));
        if (auto* action = scope->findChild<QAction*>(opener))
            action->trigger();
        else
            requireChild<QPushButton>(scope, qPrintable(opener))->click();

        QStringList shown{kind, title, filters};
        if (folder.isEmpty() && !seen.isEmpty())
            seen.first() = seen.first().section(" | ", 0, 2);
        else
            shown << folder;
        const QString first = shown.join(" | ");
        if (kind == "open") {
            QCOMPARE(seen, QStringList({first, QString()}));
        } else if (asked.isEmpty()) {
            QCOMPARE(seen, QStringList{first});
            QCOMPARE(QDir(out.path()).entryList(QDir::Files), QStringList{"проба" + suffix});
        } else {
            QCOMPARE(seen, QStringList({first, QStringList({kind, title, filters, out.path()}).join(" | "), "проба"}));
            QCOMPARE(questions, QStringList{asked + " уже существует.\nЗаменить его? &Да | [&Нет]"});
            QCOMPARE(QDir(out.path()).entryList(QDir::Files), QStringList{asked});
            QCOMPARE(ConfiguratorFixture::readFile(out.filePath(asked)), QByteArray("earlier"));
        }
    }

    // A terminate signal ends the program through its normal exit, not by the signal.
    void programStartsOffscreenAndQuitsOnTerminate_data()
    {
        QTest::addColumn<int>("signalNumber");
        QTest::newRow("SIGTERM") << int(SIGTERM);
        QTest::newRow("SIGINT") << int(SIGINT);
    }

    void programStartsOffscreenAndQuitsOnTerminate()
    {
        QFETCH(int, signalNumber);
        QProcess program;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("QT_QPA_PLATFORM", "offscreen");
        environment.insert("ZFN_PORTS", "");
        environment.insert("HOME", TestEnvironment::homePath());
        program.setProcessEnvironment(environment);
        program.start(QCoreApplication::applicationDirPath() + "/../arm_zfn", {"-tunework"});
        QVERIFY(program.waitForStarted(5000));
        QVERIFY2(!program.waitForFinished(1500), qPrintable(program.readAllStandardError()));
        ::kill(pid_t(program.processId()), signalNumber);
        QVERIFY(program.waitForFinished(5000));
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode(), 0);
    }

    void quitCutsTheWindowsOwnExchange_data()
    {
        QTest::addColumn<UnderWay>("underWay");
        QTest::addColumn<int>("startFrames");
        QTest::addColumn<int>("releases");
        QTest::addColumn<QuitBy>("quitBy");
        const QList<QPair<QuitBy, const char*>> ways = {{QuitBy::TerminateSignal, "signal"},
                                                        {QuitBy::WindowSystemClose, "window closed"},
                                                        {QuitBy::QuitKey, "Ctrl+Q"}};
        for (const auto& [by, how] : ways) {
            QTest::addRow("%s, nothing under way", how) << UnderWay::Nothing << 0 << 1 << by;
            QTest::addRow("%s, ping of a silent calibrator", how) << UnderWay::SilentPing << 1 << 1 << by;
            QTest::addRow("%s, ping of a slow calibrator", how) << UnderWay::SlowPing << 1 << 1 << by;
            // A connect that is cut leaves no calibrator connected, but its start frame may have
            // reached the calibrator, which is released.
            QTest::addRow("%s, connect to a silent calibrator", how) << UnderWay::SilentConnect << 1 << 1 << by;
            QTest::addRow("%s, connect to a slow calibrator", how) << UnderWay::SlowConnect << 1 << 1 << by;
            // The ping waits for the late reply first and sends nothing before it.
            QTest::addRow("%s, ping after a cut pass-through", how)
                << UnderWay::PingAfterCutPassThrough << 0 << 1 << by;
        }
    }

    // A terminate signal, a close of the window or the quit key that comes while the window's
    // thread waits in an exchange of its own cuts that exchange and every later one: the program
    // leaves as it does with nothing under way, before a slow calibrator's reply would have come,
    // with no failure told, and a connected calibrator gets one release frame. The close and the
    // key come as the window system sends them: as user input.
    void quitCutsTheWindowsOwnExchange()
    {
        QFETCH(UnderWay, underWay);
        QFETCH(int, startFrames);
        QFETCH(int, releases);
        QFETCH(QuitBy, quitBy);
        DeviceTestBench bench;
        CalibratorEmulator& emulator = bench.emulator();
        auto window = std::make_unique<MainWindow>();
        QuitOnSignal quitOnSignal;
        connect(&quitOnSignal, &QuitOnSignal::quitRequested, window.get(), &MainWindow::quit);
        window->show();
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
        const bool connects = underWay == UnderWay::SilentConnect || underWay == UnderWay::SlowConnect;
        if (underWay == UnderWay::PingAfterCutPassThrough)
            QVERIFY(bench.connectWithTransmitter() && bench.cutSlowPassThrough(3000));
        else if (connects)
            bench.offer(0);
        else
            QVERIFY(bench.connectTo(0));
        QVERIFY(BoundedWait::until([&] { return window->menuBar()->isEnabled(); }));
        const int slowReplyMs = bench.device().pollController()->exchangeTimeoutMs * 3 / 4;
        if (underWay == UnderWay::SlowPing || underWay == UnderWay::SlowConnect)
            emulator.setReplyDelayMs(slowReplyMs);
        else
            emulator.setSilent(true);
        emulator.clearRequests();
        bench.clearPopUps();

        QElapsedTimer sinceStart;
        bool told = false;
        QWindow* shown = window->windowHandle();
        const auto tell = [&told, quitBy, shown] {
            if (told)
                return;
            told = true;
            if (quitBy == QuitBy::WindowSystemClose) {
                QWindowSystemInterface::handleCloseEvent<QWindowSystemInterface::AsynchronousDelivery>(shown);
            } else if (quitBy == QuitBy::QuitKey) {
                QWindowSystemInterface::handleKeyEvent<QWindowSystemInterface::AsynchronousDelivery>(
                    shown, QEvent::KeyPress, Qt::Key_Q, Qt::ControlModifier);
                QWindowSystemInterface::handleKeyEvent<QWindowSystemInterface::AsynchronousDelivery>(
                    shown, QEvent::KeyRelease, Qt::Key_Q, Qt::ControlModifier);
            } else {
                ::raise(SIGTERM);
            }
        };
        DeviceZFN& device = bench.device();
        const auto start = [&sinceStart, &device, &tell, underWay, connects] {
            sinceStart.start();
            if (underWay == UnderWay::Nothing)
                tell();
            else if (connects)
                device.connectToDevice(0);
            else
                g_tabSearchDevices->checkCurrentDevice();
        };
        // The overlay shows once the exchange has waited a while.
        connect(&device, &DeviceZFN::lockInteface, window.get(), tell);
        QTimer::singleShot(0, window.get(), start);
        QTimer neverTold;
        neverTold.setSingleShot(true);
        connect(&neverTold, &QTimer::timeout, qApp, &QCoreApplication::quit);
        neverTold.start(BoundedWait::stepMs);
        QCOMPARE(QApplication::exec(), 0);
        const qint64 leftAfterMs = sinceStart.elapsed();
        // A failure told on the way out is queued; it would show before the program ends.
        QCoreApplication::sendPostedEvents(&device, QEvent::MetaCall);
        // What the window's thread would still send on its way out is cut as well.
        QVERIFY(!device.readValues(1));
        QCOMPARE(device.lastExchangeStatus(), DeviceZFN::ExchangeStatus::Aborted);
        window.reset();
        bench.destroyDevice();

        QVERIFY(told);
        QVERIFY2(leftAfterMs < slowReplyMs, qPrintable(QString::number(leftAfterMs)));
        QCOMPARE(requestCount(emulator, "11;1;"), startFrames);
        QVERIFY(BoundedWait::until([&] { return requestCount(emulator, "11;200;") >= releases; }));
        QCOMPARE(requestCount(emulator, "11;200;"), releases);
        QCOMPARE(bench.popUps(), QStringList());
    }

    // A click that comes while the window's thread waits in an exchange of its own is dropped: held
    // back, it would fall on the page once the overlay has gone and start the exchange again.
    void clickDuringTheWindowsOwnExchangeIsDropped()
    {
        DeviceTestBench bench;
        auto window = std::make_unique<MainWindow>();
        window->show();
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
        // The settings read that the connect starts unlocks the window only after the port is home:
        // a click before that would fall on a disabled page and test nothing.
        QueuedSpy unlocks(&bench.device(), &DeviceZFN::unlockInteface);
        QVERIFY(bench.connectTo(0));
        QVERIFY(BoundedWait::until([&] { return !unlocks.isEmpty() && window->menuBar()->isEnabled(); }));
        bench.device().setExchangeTimeout(300);
        bench.emulator().setSilent(true);
        bench.emulator().clearRequests();
        bench.clearPopUps();

        // As a search that found the calibrator leaves it.
        auto* button = requireChild<QPushButton>(window.get(), "pushButton_checkDevice");
        button->setEnabled(true);
        QWindow* shown = window->windowHandle();
        const QPoint at = button->mapTo(window.get(), button->rect().center());
        const QPoint global = window->mapToGlobal(at);
        bool clicked = false;
        connect(&bench.device(), &DeviceZFN::lockInteface, window.get(), [&] {
            if (std::exchange(clicked, true))
                return;
            QWindowSystemInterface::handleMouseEvent<QWindowSystemInterface::AsynchronousDelivery>(
                shown, at, global, Qt::LeftButton, Qt::LeftButton, QEvent::MouseButtonPress);
            QWindowSystemInterface::handleMouseEvent<QWindowSystemInterface::AsynchronousDelivery>(
                shown, at, global, Qt::NoButton, Qt::LeftButton, QEvent::MouseButtonRelease);
        });
        g_tabSearchDevices->checkCurrentDevice();
        QVERIFY(clicked);
        QWindowSystemInterface::flushWindowSystemEvents();

        QCOMPARE(bench.popUps(), QStringList{"Нет связи с устройством."});
        QCOMPARE(requestCount(bench.emulator(), "11;1;"), 3);
    }

    void shortcutDuringTheWindowsOwnExchangeRunsNothing_data()
    {
        QTest::addColumn<OwnExchange>("exchange");
        QTest::addColumn<QString>("held");
        QTest::newRow("connect") << OwnExchange::Connect << "11;1;";
        QTest::newRow("clock read of the settings page") << OwnExchange::ClockRead << "10;0;2;4";
    }

    // The shortcut of an enabled action, pressed while the window's thread waits in an exchange of
    // its own, before the overlay locks the actions, runs nothing then and nothing once the
    // exchange has ended: the exchange gets its reply as if no key had come. The calibrator holds
    // that reply until the keys are pressed.
    void shortcutDuringTheWindowsOwnExchangeRunsNothing()
    {
        QFETCH(OwnExchange, exchange);
        QFETCH(QString, held);
        DeviceTestBench bench;
        DeviceZFN& device = bench.device();
        CalibratorEmulator& emulator = bench.emulator();
        auto window = std::make_unique<MainWindow>();
        window->show();
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
        if (exchange == OwnExchange::Connect) {
            bench.offer(0);
        } else {
            // The settings read that the connect starts locks the window from its worker, and
            // unlocks it only after the port is home: the page's button takes clicks after that.
            QueuedSpy unlocks(&device, &DeviceZFN::unlockInteface);
            QVERIFY(bench.connectTo(0));
            QVERIFY(BoundedWait::until([&] { return !unlocks.isEmpty(); }));
        }
        // Past 150 ms the overlay would disable the actions; kept off, the keys find them enabled
        // however loaded the machine, and the held reply outlasts no try.
        disconnect(&device, &DeviceZFN::lockInteface, window.get(), &MainWindow::block);
        device.setExchangeTimeout(BoundedWait::stepMs);
        bench.clearPopUps();

        QList<QAction*> actions;
        std::vector<std::unique_ptr<QueuedSpy>> triggered;
        for (const char* name : {"action_showFullScreen", "action_foundDevices", "action_disconnectCurrentDevice"}) {
            actions << requireChild<QAction>(window.get(), name);
            triggered.push_back(std::make_unique<QueuedSpy>(actions.last(), &QAction::triggered));
        }
        const auto triggerCounts = [&triggered] {
            QList<int> counts;
            for (const auto& spy : triggered)
                counts << spy->count();
            return counts;
        };
        QList<bool> enabledAtPress;
        bool pressedInFlight = false;
        const auto pressed = std::make_shared<QSemaphore>();
        const auto press = [&] {
            pressedInFlight = !device.portOwner()->isFree();
            for (QAction* action : qAsConst(actions)) {
                enabledAtPress << action->isEnabled();
                QTest::keySequence(window.get(), action->shortcut());
            }
            pressed->release();
        };
        const auto armed = std::make_shared<std::atomic<bool>>(true);
        QObject* context = window.get();
        emulator.setRequestObserver([=](const EmulatorRequest& request) {
            if (!request.command.startsWith(held) || !armed->exchange(false))
                return;
            QMetaObject::invokeMethod(context, press, Qt::QueuedConnection);
            pressed->tryAcquire(1, BoundedWait::stepMs);
        });
        if (exchange == OwnExchange::Connect)
            device.connectToDevice(0);
        else
            requireChild<QPushButton>(window.get(), "pushButton_readDateTimeFromDevice")->click();
        emulator.setRequestObserver({});

        QVERIFY(pressedInFlight);
        QCOMPARE(enabledAtPress, QList<bool>({true, true, true}));
        QVERIFY(device.isConnected());
        QVERIFY(BoundedWait::until([&] { return device.portOwner()->isFree(); }, BoundedWait::jobMs));
        QCoreApplication::sendPostedEvents();
        QCOMPARE(triggerCounts(), QList<int>({0, 0, 0}));
        QCOMPARE(bench.popUps(), QStringList());
        // The same key reaches its action once nothing is waited for.
        QTest::keySequence(window.get(), actions.first()->shortcut());
        QCOMPARE(triggerCounts(), QList<int>({1, 0, 0}));
    }

    // Quiet when asked to be; the calibrator's own refusal is the one message; a release forgets.
    void hartChecksTellOnce()
    {
        DeviceTestBench bench;
        QueuedSpy state(&bench.device(), &DeviceZFN::sendHartDeviceConnectionState);
        QueuedSpy statusText(&bench.device(), &DeviceZFN::showStatusMessageSignal);
        QVERIFY(!bench.device().checkHartConnection(false));
        QVERIFY(bench.popUps().isEmpty());
        QVERIFY(statusText.isEmpty());

        QVERIFY(bench.connectTo(0));
        QVERIFY(!bench.device().checkHartConnection(true));
        QCOMPARE(bench.popUps().last(), QString("HART протокол на устройстве не включен."));
        bench.device().deviceSettings()->bytes[DeviceSettings::HartModemByte] = 1;
        // A calibrator without a transmitter refuses value 19.
        QVERIFY(!bench.device().checkHartConnection(true));
        QTRY_COMPARE(bench.popUps().last(), QString("ЗФН ответил кодом ошибки №2."));
        QCOMPARE(state.last().at(0).toBool(), false);

        bench.device().hartData()->present = true;
        QVERIFY(bench.device().checkHartConnection(true));
        QCOMPARE(state.last().at(0).toBool(), true);
        QCOMPARE(bench.popUps().size(), 2);
        bench.device().releaseDevice();
        QVERIFY(!bench.device().hartData()->present);
    }
};

QTEST_MAIN(TestMainWindow)
#include "test_main_window.moc"
