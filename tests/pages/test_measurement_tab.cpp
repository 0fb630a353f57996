#include "AxisLabelCheck.h"
#include "BoundedWait.h"
#include "ChannelsModel.h"
#include "ChildLookup.h"
#include "ComboListCheck.h"
#include "DeviceAuxBlock.h"
#include "DeviceSettings.h"
#include "DeviceTestBench.h"
#include "GraphWidget.h"
#include "HartFault.h"
#include "HartTransmitter.h"
#include "HartTransmitterState.h"
#include "LinenPlot.h"
#include "LinenPlotControl.h"
#include "LockKind.h"
#include "PollController.h"
#include "PressureUnits.h"
#include "QueuedSpy.h"
#include "ResultsModel.h"
#include "TabMeasurement.h"
#include "VerificationSettings.h"
#include "TestEnvironment.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QGroupBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableView>
#include <QtTest>
#include <algorithm>

namespace {

constexpr quint8 pascalCode = 5;

// A connected emulated calibrator whose module reads 180 Pa and whose loop carries 2.5 mA, with
// the page built as the main window builds it.
class MeasurementBench
{
public:
    MeasurementBench()
    {
        device().auxBlock()->addPointAction = &addPoint;
        device().auxBlock()->addGroupAction = &addGroup;
        page.reset(new TabMeasurement);
        tabs.addTab(page.get(), QStringLiteral("Измерение"));
        tabs.addTab(new QWidget, QStringLiteral("Другая"));
    }

    bool connect()
    {
        if (!bench.connectTo(0))
            return false;
        device().pollController()->pollIntervalMs = 20;
        device().deviceSettings()->bytes[DeviceSettings::ModuleUnitByte] = pascalCode;
        bench.emulator().setValue("1", "180");
        bench.emulator().setValue("5", "2.5");
        tabs.show();
        return true;
    }

    DeviceZFN& device() { return bench.device(); }
    template <typename T>
    T* child(const char* name) { return requireChild<T>(page.get(), name); }
    QPushButton* button(const char* name) { return child<QPushButton>(name); }
    QComboBox* modes() { return child<QComboBox>("comboBox_measureType"); }
    QStringList row()
    {
        QStringList texts;
        QAbstractItemModel* model = device().channelsModel();
        for (int column = 0; column < model->columnCount(); ++column)
            texts << model->index(0, column).data().toString();
        return texts;
    }
    GraphWidget* graph() { return page->graphWidget(); }
    LinenPlot* plot() { return graph()->plot(); }
    bool waitCycles(int count)
    {
        QueuedSpy updates(&device(), &DeviceZFN::pollUpdateSignal);
        return BoundedWait::until([&] { return updates.count() >= count; }, BoundedWait::jobMs);
    }
    bool isPollRunning() { return device().pollController()->isPollRunning(); }
    // Both add buttons and both actions that press them.
    bool canAdd()
    {
        return addPoint.isEnabled() && addGroup.isEnabled() && button("pushButton_addPoint")->isEnabled()
               && button("pushButton_addGroup")->isEnabled();
    }
    bool cannotAdd()
    {
        return !addPoint.isEnabled() && !addGroup.isEnabled() && !button("pushButton_addPoint")->isEnabled()
               && !button("pushButton_addGroup")->isEnabled();
    }
    bool isIdle()
    {
        return !page->isPolling() && button("pushButtonStart")->isEnabled() && modes()->isEnabled()
               && !button("pushButtonStop")->isEnabled() && !child<QSpinBox>("spinBox_currentGroup")->isEnabled()
               && cannotAdd();
    }

    DeviceTestBench bench;
    QAction addPoint{nullptr};
    QAction addGroup{nullptr};
    QTabWidget tabs;
    QScopedPointer<TabMeasurement> page;
};

}  // namespace

class TestMeasurementTab : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { TestEnvironment::prepareWithChoiceLists(); }

    // The loop current polled into the table and the plot, a point and a group of points taken by
    // the window's actions; a stop sends nothing more, a silent calibrator ends polling with one word.
    void currentModeCollectsPointsAndGroups()
    {
        MeasurementBench m;
        m.button("pushButtonStart")->click();
        QCOMPARE(m.bench.popUps(), QStringList({"Калибратор не подключен."}));
        QVERIFY(m.isIdle());
        QVERIFY(m.connect());
        // Counted from the start, which clears the plot, so no cycle is half counted.
        QueuedSpy updates(&m.device(), &DeviceZFN::pollUpdateSignal);
        m.button("pushButtonStart")->click();
        QVERIFY(!m.modes()->isEnabled() && !m.canAdd());
        QVERIFY(m.waitCycles(3));
        QVERIFY(m.canAdd());
        QTRY_COMPARE(m.row(), QStringList({"0 Па", "360 Па", "0 - 5 мА", "2,5000 мА", "180,00000 Па",
                                           "180,00000 Па", "0,0000 %"}));
        ResultsModel* results = m.device().resultsModel();
        m.addPoint.trigger();
        QTRY_COMPARE(results->rowCount(), 1);
        QCOMPARE(results->record(0)->reference, 180.0);
        QueuedSpy locks(&m.device(), &DeviceZFN::lockInteface);
        m.addGroup.trigger();
        QTRY_COMPARE_WITH_TIMEOUT(m.child<QSpinBox>("spinBox_currentGroup")->value(), 2, BoundedWait::stepMs);
        QCOMPARE(results->rowCount(), 11);
        QCOMPARE(locks.size(), 1);
        QCOMPARE(locks.first().first().value<quint8>(), quint8(1));
        results->setCurrentGroup(150);
        emit m.device().groupAdded();
        QCOMPARE(m.child<QSpinBox>("spinBox_currentGroup")->value(), 150);

        m.button("pushButtonStop")->click();
        QCoreApplication::processEvents();
        QCOMPARE(m.plot()->sampleCount(), updates.count());
        QVERIFY(m.isIdle());
        QVERIFY(m.bench.flushLine());
        const int requests = m.bench.emulator().requestCount();
        QTest::qWait(300);
        QCOMPARE(m.bench.emulator().requestCount(), requests);

        m.button("pushButtonStart")->click();
        QVERIFY(m.waitCycles(1));
        m.device().setExchangeTimeout(300);
        m.bench.emulator().setSilent(true);
        QTRY_VERIFY_WITH_TIMEOUT(m.isIdle(), BoundedWait::jobMs);
        QTest::qWait(200);
        QCOMPARE(m.bench.popUps(), QStringList({"Калибратор не подключен.", "ЗФН не отвечает!"}));
    }

    // HART mode needs the modem switched on. A typed pressure and a typed reference; another page
    // pauses polling, a minimised window does not, and a mode asked for while polling waits for the stop.
    void manualModePausesForAnotherPage()
    {
        MeasurementBench m;
        QVERIFY(m.connect());
        m.bench.emulator().setRegister(275, 0, "0");
        m.modes()->setCurrentIndex(1);
        QCOMPARE(m.bench.popUps(), QStringList({"HART протокол на устройстве не включен."}));
        QCOMPARE(m.modes()->currentIndex(), 0);
        m.modes()->setCurrentIndex(2);
        QVERIFY(m.child<QWidget>("widget_fixed_current")->isVisible());
        QVERIFY(m.child<QTableView>("tableView")->isColumnHidden(2));
        m.child<QDoubleSpinBox>("doubleSpinBox_mesured")->setValue(190);
        m.button("pushButtonStart")->click();
        QVERIFY(m.waitCycles(2));
        QTRY_COMPARE(m.row().mid(4), QStringList({"190,00000 Па", "180,00000 Па", "2,7778 %"}));
        auto* etalonPanel = m.page->graphWidget()->findChild<QGroupBox*>();
        etalonPanel->findChild<QDoubleSpinBox*>()->setValue(0.2);
        etalonPanel->findChild<QComboBox*>()->setCurrentIndex(1);
        QTRY_COMPARE(m.row().at(5), QString("200,00000 Па"));

        m.tabs.setCurrentIndex(1);
        QVERIFY(!m.isPollRunning() && m.page->isPolling() && !m.addPoint.isVisible());
        const int kept = m.plot()->sampleCount();
        m.tabs.setCurrentIndex(0);
        QVERIFY(m.isPollRunning());
        QVERIFY(m.waitCycles(1));
        QTRY_VERIFY(m.plot()->sampleCount() > kept);
        m.tabs.showMinimized();
        QTest::qWait(100);
        m.tabs.showNormal();
        QVERIFY(m.isPollRunning());

        m.page->setPollMode(0);
        m.page->setPollMode(7);
        QCOMPARE(m.device().pollMode(), 2);
        m.button("pushButtonStop")->click();
        QCOMPARE(m.modes()->currentIndex(), 0);
        QCOMPARE(m.device().pollMode(), 0);
    }

    // A typed pressure is kept in single precision; the point taken from it shows the typed digits on
    // the results page, and its error is the one those digits give.
    void typedPressureKeepsItsDigits_data()
    {
        QTest::addColumn<int>("unit");
        QTest::addColumn<double>("low");
        QTest::addColumn<double>("high");
        QTest::addColumn<double>("referenceKpa");
        QTest::addColumn<double>("typed");
        QTest::addColumn<QStringList>("texts");
        QTest::newRow("kPa") << 1 << 0.0 << 40.0 << 40.0 << 40.2 << QStringList({"40 кПа", "40.2 кПа", "0.5"});
        QTest::newRow("vacuum") << 1 << -100.0 << 0.0 << -60.0 << -60.3
                                << QStringList({"-60 кПа", "-60.3 кПа", "-0.3"});
        QTest::newRow("Pa") << 0 << 0.0 << 360.0 << 0.09 << 99.99 << QStringList({"90 Па", "99.99 Па", "2.775"});
    }

    void typedPressureKeepsItsDigits()
    {
        QFETCH(int, unit);
        QFETCH(double, low);
        QFETCH(double, high);
        QFETCH(double, referenceKpa);
        QFETCH(double, typed);
        QFETCH(QStringList, texts);
        MeasurementBench m;
        QVERIFY(m.connect());
        ChannelRecord& channel = *m.device().currentChannel();
        channel.unit = quint8(unit);
        channel.rangeLow = low;
        channel.rangeHigh = high;
        m.device().channelsModel()->setRecord(0, channel);
        auto* etalonPanel = m.page->graphWidget()->findChild<QGroupBox*>();
        etalonPanel->findChild<QDoubleSpinBox*>()->setValue(referenceKpa);
        etalonPanel->findChild<QComboBox*>()->setCurrentIndex(1);
        m.modes()->setCurrentIndex(2);
        m.child<QDoubleSpinBox>("doubleSpinBox_mesured")->setValue(typed);
        m.button("pushButtonStart")->click();
        QVERIFY(m.waitCycles(1));
        m.addPoint.trigger();
        ResultsModel* results = m.device().resultsModel();
        QTRY_COMPARE(results->rowCount(), 1);
        QStringList shown;
        for (int column = 1; column <= 3; ++column)
            shown << results->index(0, column).data().toString();
        QCOMPARE(shown, texts);
        m.button("pushButtonStop")->click();
    }

    // Space is the window's add-point key wherever the focus is on the page. A typed pressure is
    // taken with Return, which leaves its text selected; Space then adds the point and never lands
    // in that field, nor in another spin box, also while nothing is polled and the action is off.
    void spaceAddsPointFromAnyField()
    {
        MeasurementBench m;
        m.addPoint.setShortcut(Qt::Key_Space);
        m.tabs.addAction(&m.addPoint);
        QVERIFY(m.connect());
        QVERIFY(QTest::qWaitForWindowActive(&m.tabs));
        m.modes()->setCurrentIndex(2);
        auto* etalonPanel = m.page->graphWidget()->findChild<QGroupBox*>();
        etalonPanel->findChild<QComboBox*>()->setCurrentIndex(1);
        auto* pressure = m.child<QDoubleSpinBox>("doubleSpinBox_mesured");
        const QList<QWidget*> targets{pressure, m.child<QSpinBox>("spinBox_currentGroup"),
                                      m.page->graphWidget()->control()->findChild<QSpinBox*>(),
                                      etalonPanel->findChild<QDoubleSpinBox*>(), m.child<QTableView>("tableView")};
        const auto pressSpace = [](QWidget* target) {
            target->setFocus();
            if (!BoundedWait::until([target] { return target->hasFocus(); }))
                return false;
            QTest::keyClick(target, Qt::Key_Return);
            QTest::keyClick(target, Qt::Key_Space);
            return true;
        };
        pressure->selectAll();
        QTest::keyClicks(pressure, "150");
        QTest::keyClick(pressure, Qt::Key_Return);
        QCOMPARE(pressure->value(), 150.0);
        const QString typed = pressure->text();
        QVERIFY(pressSpace(pressure));
        QCOMPARE(pressure->text(), typed);

        ResultsModel* results = m.device().resultsModel();
        QCOMPARE(results->rowCount(), 0);
        m.button("pushButtonStart")->click();
        for (QWidget* target : targets) {
            const int before = results->rowCount();
            QVERIFY(m.waitCycles(1));
            QVERIFY2(pressSpace(target), target->metaObject()->className());
            QTRY_VERIFY2(results->rowCount() == before + 1, target->metaObject()->className());
        }
        QCOMPARE(pressure->text(), typed);
        QCOMPARE(results->record(0)->measured, 150.0);
        m.button("pushButtonStop")->click();
    }

    // From "Старт" until the session's first cycle there is nothing to make a point of, nor to show: the
    // table shows no measured value, the add buttons and their keys are off, and a press takes no point
    // and starts no group. Once the cycle has come, Space takes a point and Shift+Return a group; a pause
    // on another page starts the wait again. The stop of a pause may take long enough for the busy
    // overlay, which is no group.
    void addControlsWaitForTheFirstCycle()
    {
        MeasurementBench m;
        m.addPoint.setShortcut(Qt::Key_Space);
        m.addGroup.setShortcut(QKeySequence(Qt::SHIFT | Qt::Key_Return));
        m.tabs.addAction(&m.addPoint);
        m.tabs.addAction(&m.addGroup);
        QVERIFY(m.connect());
        QVERIFY(QTest::qWaitForWindowActive(&m.tabs));
        m.device().verificationSettings()->groupPointCount = 2;
        ResultsModel* results = m.device().resultsModel();
        QueuedSpy locks(&m.device(), &DeviceZFN::lockInteface);
        const auto groups = [&locks] {
            return int(std::count_if(locks.cbegin(), locks.cend(), [](const QList<QVariant>& lock) {
                return lock.first().value<quint8>() == LockKind::StoppableExchange;
            }));
        };
        const QStringList unmeasured{"-", "-", "-", "-"};
        QCOMPARE(m.row().mid(3), unmeasured);
        QSignalSpy keys(&m.addPoint, &QAction::triggered);
        QSignalSpy groupKeys(&m.addGroup, &QAction::triggered);
        const auto pressBoth = [&] {
            QTest::keyClick(&m.tabs, Qt::Key_Space);
            QTest::keyClick(&m.tabs, Qt::Key_Return, Qt::ShiftModifier);
            m.button("pushButton_addPoint")->click();
            m.button("pushButton_addGroup")->click();
        };
        for (int session = 0; session < 2; ++session) {
            // The first cycle's replies come late.
            m.bench.emulator().setReplyDelayMs(1000);
            if (session == 0) {
                m.button("pushButtonStart")->click();
            } else {
                m.tabs.setCurrentIndex(1);
                m.tabs.setCurrentIndex(0);
            }
            QVERIFY(m.isPollRunning() && m.cannotAdd());
            QCOMPARE(m.row().mid(3), unmeasured);
            pressBoth();
            QCOMPARE(keys.count() + groupKeys.count(), 2 * session);
            QVERIFY(m.waitCycles(1));
            QVERIFY(m.canAdd());
            QCOMPARE(m.row().mid(3), QStringList({"2,5000 мА", "180,00000 Па", "180,00000 Па", "0,0000 %"}));
            QCOMPARE(results->rowCount(), 3 * session);
            QCOMPARE(groups(), session);
            m.bench.emulator().setReplyDelayMs(0);
            QTest::keyClick(&m.tabs, Qt::Key_Space);
            QTRY_COMPARE_WITH_TIMEOUT(results->rowCount(), 3 * session + 1, BoundedWait::stepMs);
            QTest::keyClick(&m.tabs, Qt::Key_Return, Qt::ShiftModifier);
            QTRY_COMPARE_WITH_TIMEOUT(results->rowCount(), 3 * session + 3, BoundedWait::stepMs);
            QCOMPARE(groups(), session + 1);
        }
        m.button("pushButtonStop")->click();
        QVERIFY(m.isIdle());
    }

    // The HART start reads the range and the primary variable first; polling starts once the
    // transmitter answered both, whatever their codes, and never on the end of another start. Code 6
    // goes without a word, any other code is shown; what a reply without data did not give (the range,
    // the unit of the primary variable) shows "-", and so does what the poll computes from it.
    void hartStartWithTransmitter_data()
    {
        QTest::addColumn<int>("command");
        QTest::addColumn<int>("code");
        QTest::addColumn<bool>("silent");
        QTest::addColumn<bool>("rangeKnown");
        QTest::addColumn<bool>("primaryKnown");
        QTest::addColumn<QStringList>("messages");
        QTest::newRow("both read") << 1 << 0 << false << true << true << QStringList();
        QTest::newRow("primary unanswered") << 1 << 0 << true << true << true << QStringList();
        QTest::newRow("range without data, code 6") << 15 << 6 << false << false << true << QStringList();
        QTest::newRow("range refused") << 15 << 5 << false << false << true
                                       << QStringList{"Устройство отвечает с кодом ошибки 5"};
        QTest::newRow("primary not implemented") << 1 << 64 << false << true << false
                                                 << QStringList{"Устройство отвечает с кодом ошибки 64"};
        QTest::newRow("warning code") << 1 << 8 << false << true << true
                                      << QStringList{"Устройство отвечает с кодом ошибки 8"};
    }

    void hartStartWithTransmitter()
    {
        QFETCH(int, command);
        QFETCH(int, code);
        QFETCH(bool, silent);
        QFETCH(bool, rangeKnown);
        QFETCH(bool, primaryKnown);
        QFETCH(QStringList, messages);
        MeasurementBench m;
        QVERIFY(m.connect());
        m.bench.emulator().attachHartTransmitter(HartVariant::Family);
        HartTransmitter& transmitter = m.bench.emulator().hartTransmitter();
        if (silent)
            transmitter.setFault(command, HartFault::Silent);
        else if (code)
            transmitter.setResponseCode(command, code);
        m.bench.emulator().setValue("17", "100");
        m.bench.emulator().setValue("18", "12");
        m.device().deviceSettings()->bytes[DeviceSettings::HartModemByte] = 1;
        m.modes()->setCurrentIndex(1);
        QVERIFY(m.child<QTableView>("tableView")->isColumnHidden(3));
        QVERIFY(m.child<QCheckBox>("checkBox_useHardDeviceIntervals")->isVisibleTo(m.page.get()));
        m.child<QCheckBox>("checkBox_useHardDeviceIntervals")->click();
        QueuedSpy finished(&m.device(), &DeviceZFN::sendAlgoritmFinished);
        m.button("pushButtonStart")->click();
        QVERIFY(finished.wait());
        QTRY_COMPARE(m.isPollRunning(), !silent);
        if (silent) {
            // Nor does the end of the same operation started elsewhere.
            emit m.device().sendHartResult(15);
            emit m.device().sendHartResult(1);
            emit m.device().sendAlgoritmFinished(TabMeasurement::hartStartOperation);
            QTest::qWait(200);
            QVERIFY(m.isIdle());
        } else {
            QVERIFY(m.waitCycles(1));
            const bool errorKnown = rangeKnown && primaryKnown;
            QTRY_VERIFY(m.row().at(6) != "-" || !errorKnown);
            const QStringList row = m.row();
            const QList<QPair<int, bool>> known{{0, rangeKnown}, {1, rangeKnown}, {4, primaryKnown}, {6, errorKnown}};
            for (const auto& cell : known)
                QVERIFY2((row.at(cell.first) == "-") != cell.second, qPrintable(row.join('|')));
        }
        QVERIFY(transmitter.commands().contains(15));
        QCOMPARE(m.bench.popUps().filter("Устройство отвечает"), messages);
        m.button("pushButtonStop")->click();
    }

    void hartRangeKeepsItsDigits_data()
    {
        QTest::addColumn<int>("hartUnit");
        QTest::addColumn<QString>("lower");
        QTest::addColumn<QString>("upper");
        QTest::newRow("МПа") << 237 << "0.1" << "6.3001";
        QTest::newRow("кПа") << 12 << "99.99" << "100.05";
        QTest::newRow("бар") << 7 << "-0.3" << "1.7";
        QTest::newRow("Па") << 11 << "0.1" << "360.3";
    }

    // The transmitter's range, floats in its unit, becomes the channel's limits with the digits the
    // floats hold, converted in double: never their binary tails.
    void hartRangeKeepsItsDigits()
    {
        QFETCH(int, hartUnit);
        QFETCH(QString, lower);
        QFETCH(QString, upper);
        MeasurementBench m;
        QVERIFY(m.connect());
        m.bench.emulator().attachHartTransmitter(HartVariant::Family);
        HartTransmitter& transmitter = m.bench.emulator().hartTransmitter();
        HartTransmitterState state = transmitter.state();
        state.rangeUnit = quint8(hartUnit);
        state.lowerRangeValue = lower.toFloat();
        state.upperRangeValue = upper.toFloat();
        transmitter.setState(state);
        m.bench.emulator().setValue("17", "100");
        m.bench.emulator().setValue("18", "12");
        m.device().deviceSettings()->bytes[DeviceSettings::HartModemByte] = 1;
        m.modes()->setCurrentIndex(1);
        m.child<QCheckBox>("checkBox_useHardDeviceIntervals")->click();
        m.button("pushButtonStart")->click();
        QVERIFY(m.waitCycles(1));
        m.button("pushButtonStop")->click();
        QVERIFY(BoundedWait::until([&] { return m.isIdle(); }));
        const ChannelRecord channel = *m.device().currentChannel();
        QVERIFY(channel.hartRange);
        const auto digits = [](double value) { return QString::number(value, 'g', 17); };
        const auto expected = [&](const QString& text) {
            return digits(PressureUnits::convertFromHart(quint8(hartUnit), channel.unit, text.toDouble()));
        };
        QCOMPARE(digits(channel.hartLow), expected(lower));
        QCOMPARE(digits(channel.hartHigh), expected(upper));
    }

    // The live plot's time axis, in a page as wide as the window opens and wider, after every sample
    // of polls half a second, ten seconds and a minute apart: no date before the first sample, no
    // label over another, no text at two ticks, and a first sample shown over seconds, not decades.
    void timeAxisReadsAtEveryWidth_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<int>("stepMs");
        QTest::addColumn<int>("samples");
        QTest::addColumn<int>("leastTicks");
        for (const QSize& size : {QSize(973, 681), QSize(1280, 800)}) {
            const QString window = QString("%1x%2, ").arg(size.width()).arg(size.height());
            // A fast poll's first samples span less than a second: the axis still reads two times.
            QTest::newRow(qPrintable(window + "a fraction of a second")) << size << 20 << 30 << 2;
            QTest::newRow(qPrintable(window + "seconds")) << size << 500 << 20 << 3;
            QTest::newRow(qPrintable(window + "minutes")) << size << 10000 << 60 << 3;
            QTest::newRow(qPrintable(window + "hours")) << size << 60000 << 300 << 3;
        }
    }
    void timeAxisReadsAtEveryWidth()
    {
        QFETCH(QSize, size);
        QFETCH(int, stepMs);
        QFETCH(int, samples);
        QFETCH(int, leastTicks);
        MeasurementBench m;
        m.tabs.resize(size);
        m.tabs.show();
        QVERIFY(QTest::qWaitForWindowExposed(&m.tabs));
        QCOMPARE(axisLabelTexts(m.plot(), QwtPlot::xBottom), QStringList());
        const QDateTime start(QDate(2026, 4, 20), QTime(17, 46, 40));
        qint64 elapsed = 0;
        m.plot()->setClock([&] { return start.addMSecs(elapsed); });
        m.graph()->clear();
        QStringList clashes;
        for (int i = 0; i < samples && clashes.isEmpty(); ++i, elapsed += stepMs) {
            m.plot()->appendSample();
            m.plot()->fillCurveValue(0, 100);
            m.plot()->fillCurveValue(1, 100 + i % 7);
            m.plot()->updateCurves();
            clashes = clashingAxisLabels(m.plot(), QwtPlot::xBottom);
            // The first sample alone is shown with a second on either side.
            if (i == 0)
                QCOMPARE(m.plot()->axisScaleDiv(QwtPlot::xBottom).range(), 2000.0);
        }
        QVERIFY(m.plot()->axisScaleDiv(QwtPlot::xBottom).ticks(QwtScaleDiv::MajorTick).size() >= leastTicks);
        QCOMPARE(clashes, QStringList());
    }

    // The poll modes, the graph types and the reference sources, in the order their indexes mean.
    void choiceLists()
    {
        MeasurementBench m;
        QCOMPARE(comboItemTexts(m.modes()),
                 QStringList({"Измерение тока", "Считывание давления по HART", "Ручной ввод давления"}));
        auto* etalonPanel = m.page->graphWidget()->findChild<QGroupBox*>();
        QCOMPARE(comboItemTexts(etalonPanel->findChild<QComboBox*>()), QStringList({"Эталон ТЖС", "Ручной ввод"}));
        QStringList graphLists;
        for (const QComboBox* combo : m.page->graphWidget()->findChildren<QComboBox*>())
            if (!etalonPanel->isAncestorOf(combo))
                graphLists << comboItemTexts(combo).join(", ");
        QCOMPARE(graphLists, QStringList({"Давление, Ток, Погрешность"}));
    }
};

QTEST_MAIN(TestMeasurementTab)
#include "test_measurement_tab.moc"
