#include "ChildLookup.h"
#include "DeviceTestBench.h"
#include "EmulatorCommands.h"
#include "GraduationMenu.h"
#include "MainWindow.h"
#include "StartSwitches.h"
#include "TabFactorySettings.h"
#include "TestEnvironment.h"
#include "TextDiscription.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QtTest>

// The window's start modes reach the graduation pages; each case gets its own window.
class TestGraduationModes : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { TestEnvironment::prepareWithChoiceLists(); }

    void readOnlyModeStillSetsAndReads()
    {
        DeviceTestBench bench;
        QVERIFY(bench.connectTo(0));
        MainWindow window;
        applyStartSwitches(&window, {"-serviceKey42"});
        for (const char* name : {"pushButton_writeMinValue", "pushButton_writeMaxValue", "pushButton_writeShiftValue",
                                 "pushButton_writeData"})
            QVERIFY2(!requireChild<QPushButton>(&window, name)->isEnabled(), name);
        QVERIFY(!requireChild<QLabel>(&window, "label_text_nonEditable")->isHidden());
        bench.emulator().clearRequests();
        for (const char* name : {"pushButton_setMinCurrentValue", "pushButton_setMaxCurrentValue",
                                 "pushButton_readMinValue", "pushButton_readMaxValue", "pushButton_readShiftValue"})
            requireChild<QPushButton>(&window, name)->click();
        requireChild<QLineEdit>(&window, "lineEdit_crrentValue")->setText("7");
        requireChild<QPushButton>(&window, "pushButton_setCurrentValue")->click();
        QCOMPARE(emulatorCommands(bench.emulator()), QStringList({"11;43;0;3;0.000000", "11;44;0;3;0.000000", "10;2;3;3", "10;6;3;3",
                                        "10;10;3;3", "11;45;0;3;7.000000"}));
        QCOMPARE(requireChild<QLineEdit>(&window, "lineEdit_minValue")->text(), QString("3.9875"));
        QCOMPARE(bench.popUps(), QStringList());
    }

    void pagesPerMode_data()
    {
        QTest::addColumn<QStringList>("switches");
        QTest::addColumn<QStringList>("pages");
        QTest::addColumn<bool>("writable");
        const QStringList withFactory{"Эмуляция и градуировка ", "Измерение и калибровка", "Заводские настройки"};
        const QStringList withoutFactory = withFactory.mid(0, 2);
        QTest::newRow("tunework") << QStringList{"-tunework"} << withoutFactory << true;
        QTest::newRow("service key twice") << QStringList{"-serviceKey42", "-serviceKey42"} << withFactory << false;
        QTest::newRow("both") << QStringList{"-tunework", "-serviceKey42"} << withFactory << true;
    }

    void pagesPerMode()
    {
        QFETCH(QStringList, switches);
        QFETCH(QStringList, pages);
        QFETCH(bool, writable);
        DeviceTestBench bench(0);
        MainWindow window;
        applyStartSwitches(&window, switches);
        auto* tabs = requireChild<QTabWidget>(requireChild<GraduationMenu>(&window, "GraduationMenu"), "tabWidget");
        QStringList titles;
        for (int i = 0; i < tabs->count(); ++i)
            titles << tabs->tabText(i);
        QCOMPARE(titles, pages);
        QCOMPARE(window.findChildren<TabFactorySettings*>().size(), pages.size() == 3 ? 1 : 0);
        QCOMPARE(requireChild<QPushButton>(&window, "pushButton_writeData")->isEnabled(), writable);
        QCOMPARE(requireChild<QLabel>(&window, "label_text_nonEditable")->isHidden(), writable);

        requireChild<QAction>(&window, "action_emulation")->trigger();
        QCOMPARE(requireChild<QTabWidget>(&window, "tabDeviceConfig")->currentWidget()->objectName(),
                 QString("tabGraduation"));
        QCOMPARE(tabs->currentIndex(), 0);
        requireChild<QAction>(&window, "action_measurment")->trigger();
        QCOMPARE(tabs->currentIndex(), 1);
    }
};

QTEST_MAIN(TestGraduationModes)
#include "test_graduation_modes.moc"
