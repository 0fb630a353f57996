#include "TabMeasurement.h"

#include "ChannelRecord.h"
#include "ChannelsModel.h"
#include "DeviceAuxBlock.h"
#include "DeviceZFN.h"
#include "GraphWidget.h"
#include "HartDeviceData.h"
#include "HartResponseCodes.h"
#include "IconSet.h"
#include "LinenPlot.h"
#include "PressureUnits.h"
#include "ResultsModel.h"
#include "TextDiscription.h"
#include "TabConfiguration.h"
#include "TryLocker.h"
#include "ui_TabMeasurement.h"

#include <QAbstractSpinBox>
#include <QAction>
#include <QGridLayout>
#include <QGroupBox>
#include <QHeaderView>
#include <QHideEvent>
#include <QKeyEvent>
#include <QMutex>
#include <QShowEvent>
#include <limits>
#include <qwt_plot_curve.h>

namespace {

enum PollMode { CurrentMode = 0, HartMode = 1, ManualMode = 2 };
enum GraphType { PressureGraph = 0, CurrentGraph = 1, ErrorGraph = 2 };
enum CurveIndex { EtalonCurve = 0, MeasuredCurve = 1 };
// Channel table columns "Выход" and "Ток": no loop current is measured in the HART and manual modes.
constexpr int outputColumn = 2;
constexpr int currentColumn = 3;
constexpr int hartRangeCommand = 15;
constexpr int hartPrimaryCommand = 1;
// A device-specific command error: the start goes on without a word about it.
constexpr quint8 quietResponseCode = 6;
constexpr double notANumber = std::numeric_limits<double>::quiet_NaN();

ChannelRecord currentChannel()
{
    QMutexLocker lock(g_device->mutex());
    return *g_device->currentChannel();
}

}  // namespace

TabMeasurement::TabMeasurement(QWidget* parent)
    : QWidget(parent), ui(new Ui_TabMeasurement), m_mutex(new QMutex)
{
    ui->setupUi(this);
    ui->tableView->setModel(g_device->channelsModel());
    setupControls();
    connectSignals();
    ui->pushButtonStart->setIcon(g_icon_symbol_start);
    ui->pushButtonStop->setIcon(g_icon_symbol_stop);
    ui->pushButton_addPoint->setIcon(g_icon_symbol_elementAdd);
    ui->pushButton_addGroup->setIcon(g_icon_symbol_elementAdd);
    ui->widget_fixed_current->hide();
    setControlsPolling(false);
    loadCurrentGroup();
    fitTableHeight();
    keepAddPointKey();
}

TabMeasurement::~TabMeasurement()
{
    delete ui;
    delete m_mutex;
}

void TabMeasurement::setupControls()
{
    ui->tableView->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    ui->tableView->verticalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    connect(ui->pushButtonStart, &QPushButton::clicked, this, &TabMeasurement::startPollButton);
    connect(ui->pushButtonStop, &QPushButton::clicked, this, &TabMeasurement::stopPoll);
    ui->comboBox_measureType->addItems(
        {tr("Измерение тока"), tr("Считывание давления по HART"), tr("Ручной ввод давления")});
    connect(ui->comboBox_measureType, qOverload<int>(&QComboBox::currentIndexChanged), this,
            &TabMeasurement::pollModeChanged);
    connect(ui->checkBox_useHardDeviceIntervals, &QCheckBox::clicked, this, &TabMeasurement::setHartIntervalSourse);
    ui->pushButtonStop->setEnabled(false);
    ui->checkBox_useHardDeviceIntervals->hide();
    ui->spinBox_currentGroup->setMaximum(ResultsModel::maxGroup);
    setupGraph();
}

void TabMeasurement::setupGraph()
{
    m_graph = new GraphWidget(ui->frame);
    LinenPlot* plot = m_graph->plot();
    plot->addCurve(tr("Эталон"), QPen(Qt::red, 2.0, Qt::SolidLine));
    plot->addCurve(tr("Измеренное значение"), QPen(Qt::blue, 2.0, Qt::SolidLine));
    plot->insertPanelWidget(makeGraphTypePanel(), 0);
    plot->insertPanelWidget(makeEtalonPanel(), 2);
    ui->gridLayout_frame->addWidget(m_graph);
    connect(plot, &LinenPlot::saveFailed, g_device, &DeviceZFN::showPopUpMessage);
}

QWidget* TabMeasurement::makeGraphTypePanel()
{
    auto* panel = new QWidget(m_graph);
    auto* layout = new QGridLayout(panel);
    m_graphTypeCombo = new QComboBox(panel);
    m_graphTypeCombo->addItems({tr("Давление"), tr("Ток"), tr("Погрешность")});
    layout->addWidget(new QLabel(tr("Тип графика"), panel), 0, 0);
    layout->addWidget(m_graphTypeCombo, 1, 0);
    return panel;
}

QWidget* TabMeasurement::makeEtalonPanel()
{
    m_etalonGroup = new QGroupBox(tr("Эталон"), m_graph);
    auto* layout = new QGridLayout(m_etalonGroup);
    m_etalonCombo = new QComboBox(m_etalonGroup);
    m_etalonCombo->addItems({tr("Эталон ТЖС"), tr("Ручной ввод")});
    m_fixedEtalonSpin = new QDoubleSpinBox(m_etalonGroup);
    m_fixedEtalonSpin->setDecimals(5);
    m_fixedEtalonSpin->setRange(-99999999.99, 99999999.99);
    m_fixedEtalonUnit = new QLabel(tr("кПа"), m_etalonGroup);
    layout->addWidget(m_etalonCombo, 0, 0, 1, 2);
    layout->addWidget(m_fixedEtalonSpin, 1, 0);
    layout->addWidget(m_fixedEtalonUnit, 1, 1);
    m_fixedEtalonSpin->hide();
    m_fixedEtalonUnit->hide();
    return m_etalonGroup;
}

void TabMeasurement::connectSignals()
{
    connect(m_etalonCombo, qOverload<int>(&QComboBox::currentIndexChanged), this,
            &TabMeasurement::comboBoxEtalonChanged);
    connect(m_graphTypeCombo, qOverload<int>(&QComboBox::currentIndexChanged), this,
            &TabMeasurement::comboBoxGraphTypeChanged);
    connect(g_device, &DeviceZFN::pollUpdateSignal, this, &TabMeasurement::updateLinen, Qt::QueuedConnection);
    connect(g_device, &DeviceZFN::firstCycleSignal, this, &TabMeasurement::takeFirstCycle, Qt::QueuedConnection);
    connect(g_device, &DeviceZFN::pollStopedSignal, this, &TabMeasurement::stopPoll);
    connect(ui->pushButton_addPoint, &QPushButton::clicked, g_device, &DeviceZFN::addResult);
    connect(ui->pushButton_addGroup, &QPushButton::clicked, g_device, &DeviceZFN::addGroupResult);
    connect(g_device, &DeviceZFN::sendHartResult, this, &TabMeasurement::takeHartResult);
    connect(g_device, &DeviceZFN::sendAlgoritmFinished, this, &TabMeasurement::getHartAlgotitmFinished);
    const DeviceAuxBlock* actions = g_device->auxBlock();
    if (actions->addPointAction)
        connect(actions->addPointAction, &QAction::triggered, ui->pushButton_addPoint, &QPushButton::click);
    if (actions->addGroupAction)
        connect(actions->addGroupAction, &QAction::triggered, ui->pushButton_addGroup, &QPushButton::click);
    connect(this, &TabMeasurement::startPollSignal, this, &TabMeasurement::startPoll, Qt::QueuedConnection);
    connect(ui->spinBox_currentGroup, qOverload<int>(&QSpinBox::valueChanged), this,
            &TabMeasurement::changeCurrentGroup);
    connect(g_device, &DeviceZFN::groupAdded, this, &TabMeasurement::loadCurrentGroup);
    connect(ui->doubleSpinBox_mesured, qOverload<double>(&QDoubleSpinBox::valueChanged), this,
            &TabMeasurement::onFixedValueChanged);
}

void TabMeasurement::setControlsPolling(bool polling)
{
    ui->pushButtonStart->setEnabled(!polling);
    ui->checkBox_useHardDeviceIntervals->setEnabled(!polling);
    ui->pushButtonStop->setEnabled(polling);
    setPointControlsEnabled(polling && g_device->hasSessionCycle());
    ui->spinBox_currentGroup->setEnabled(polling);
}

// A point is made of a cycle of the running session, so the add controls wait for its first one.
// The shortcuts of the main window's add actions work only while the buttons they press could.
void TabMeasurement::setPointControlsEnabled(bool enabled)
{
    ui->pushButton_addGroup->setEnabled(enabled);
    ui->pushButton_addPoint->setEnabled(enabled);
    const DeviceAuxBlock* actions = g_device->auxBlock();
    for (QAction* action : {actions->addGroupAction, actions->addPointAction}) {
        if (action)
            action->setEnabled(enabled);
    }
}

// Queued from the poll thread: a session stopped or paused since then has no cycle to offer.
void TabMeasurement::takeFirstCycle()
{
    if (m_polling)
        setPointControlsEnabled(g_device->hasSessionCycle());
}

void TabMeasurement::setActionsVisible(bool visible)
{
    const DeviceAuxBlock* actions = g_device->auxBlock();
    for (QAction* action : {actions->addPointAction, actions->addGroupAction}) {
        if (action)
            action->setVisible(visible);
    }
}

void TabMeasurement::startPollButton()
{
    if (g_device->pollMode() != HartMode) {
        startPoll();
        return;
    }
    if (!g_device->checkHartConnection(true))
        return;
    m_hartStart = HartStart();
    m_hartStart.pending = true;
    m_hartRange = HartRange();
    startHartRangeRead();
}

// The HART operation replies through sendHartResult after every command and ends with
// sendAlgoritmFinished; a start the device refuses ends at once as one that got no reply does.
void TabMeasurement::startHartRangeRead()
{
    if (!g_device->startHartAlgorithm(hartStartOperation, false, 0))
        getHartAlgotitmFinished(hartStartOperation);
}

// Every reply of the transmitter counts, with or without data; the range is taken only from a
// reply that carried it, from the snapshot of that reply.
void TabMeasurement::takeHartResult(int command, const HartDeviceData& snapshot)
{
    if (!m_hartStart.pending || (command != hartRangeCommand && command != hartPrimaryCommand))
        return;
    const quint8 code = snapshot.responseCode;
    if (m_hartStart.shownCode == 0 && code != quietResponseCode)
        m_hartStart.shownCode = code;
    if (command == hartPrimaryCommand) {
        m_hartStart.primaryAnswered = true;
        return;
    }
    m_hartStart.rangeAnswered = true;
    if (!hartResponseIsError(code, command))
        m_hartRange = HartRange{true, snapshot.rangeUnit, snapshot.lowerRangeValue, snapshot.upperRangeValue};
}

// Polling starts when the transmitter answered both commands, whatever their codes; a lost reply
// has already been reported by the HART layer, and the page stays idle.
void TabMeasurement::getHartAlgotitmFinished(int id)
{
    if (id != hartStartOperation || !m_hartStart.pending)
        return;
    const HartStart start = m_hartStart;
    m_hartStart = HartStart();
    if (!start.rangeAnswered || !start.primaryAnswered)
        return;
    if (start.shownCode != 0)
        g_device->showPopUpMessage(tr("Устройство отвечает с кодом ошибки ") + QString::number(start.shownCode));
    emit startPollSignal();
}

// The messages of the checks are shown before the page's lock is taken.
void TabMeasurement::startPoll()
{
    if (g_tabConfiguration)
        g_tabConfiguration->readConditionsOnStart();
    // The box stays ticked while hidden in the other modes, where the transmitter's range has no say.
    setHartIntervalSourse(ui->checkBox_useHardDeviceIntervals->isChecked() && g_device->pollMode() == HartMode);
    if (!g_device->checkConnection() || !g_device->startPoll())
        return;
    enterPolling(true);
}

void TabMeasurement::continuePoll()
{
    if (!g_device->isConnected() || !g_device->startPoll()) {
        leavePolling();
        return;
    }
    enterPolling(false);
}

void TabMeasurement::enterPolling(bool clearPlot)
{
    TryLocker lock(m_mutex);
    if (!lock.isLocked())
        return;
    ui->comboBox_measureType->setEnabled(false);
    if (clearPlot)
        m_graph->clear();
    updatePressureUnit();
    m_polling = true;
    setControlsPolling(true);
}

// Stopping waits for the poll thread while queued events are still delivered, so the page's lock
// is taken only afterwards.
void TabMeasurement::stopPoll()
{
    g_device->stopPoll();
    leavePolling();
}

void TabMeasurement::leavePolling()
{
    {
        TryLocker lock(m_mutex);
        if (!lock.isLocked())
            return;
        ui->comboBox_measureType->setEnabled(true);
        m_polling = false;
        setControlsPolling(false);
    }
    applyPendingPollMode();
}

void TabMeasurement::applyPendingPollMode()
{
    const int mode = m_pendingPollMode;
    m_pendingPollMode = -1;
    if (mode >= 0)
        setPollMode(mode);
}

void TabMeasurement::setPollMode(int mode)
{
    if (mode < CurrentMode || mode > ManualMode)
        return;
    if (m_polling)
        m_pendingPollMode = mode;
    else
        ui->comboBox_measureType->setCurrentIndex(mode);
}

void TabMeasurement::pollModeChanged(int mode)
{
    switch (mode) {
    case HartMode:
        if (!g_device->checkHartConnection(true)) {
            ui->comboBox_measureType->setCurrentIndex(CurrentMode);
            return;
        }
        setChannelColumnsVisible(false);
        ui->checkBox_useHardDeviceIntervals->show();
        setHartIntervalSourse(ui->checkBox_useHardDeviceIntervals->isChecked());
        if (m_graphType == CurrentGraph)
            setHartCurveVisible(true);
        setManualEntryVisible(false);
        break;
    case ManualMode:
    case CurrentMode:
        setChannelColumnsVisible(mode == CurrentMode);
        ui->checkBox_useHardDeviceIntervals->hide();
        setHartIntervalSourse(false);
        if (m_graphType == CurrentGraph)
            setHartCurveVisible(false);
        setManualEntryVisible(mode == ManualMode);
        break;
    default:
        break;
    }
    g_device->setPollMode(mode);
}

void TabMeasurement::setChannelColumnsVisible(bool visible)
{
    ui->tableView->setColumnHidden(outputColumn, !visible);
    ui->tableView->setColumnHidden(currentColumn, !visible);
}

void TabMeasurement::setManualEntryVisible(bool visible)
{
    g_device->channelsModel()->setCurrentEditable(false);
    ui->widget_fixed_current->setVisible(visible);
}

void TabMeasurement::setHartCurveVisible(bool visible)
{
    LinenPlot* plot = m_graph->plot();
    if (visible)
        plot->attachCurve(EtalonCurve);
    else
        plot->detachCurve(EtalonCurve);
    m_graph->setAllCurvesVisible(true);
}

// Until a start has read the range, a range taken from the transmitter is not known: its limits,
// and the error over them, show "-".
void TabMeasurement::setHartIntervalSourse(bool useDevice)
{
    QMutexLocker lock(g_device->mutex());
    ChannelRecord* channel = g_device->currentChannel();
    const auto inChannelUnit = [&](float value) {
        return m_hartRange.known ? PressureUnits::convertFromHart(m_hartRange.unit, channel->unit, value) : notANumber;
    };
    const double lower = inChannelUnit(m_hartRange.lower);
    const double upper = inChannelUnit(m_hartRange.upper);
    g_device->channelsModel()->setHartInterval(useDevice, lower, upper);
    channel->hartLow = lower;
    channel->hartRange = useDevice;
    channel->hartHigh = upper;
}

QString TabMeasurement::pressureTitle() const
{
    return tr("Давление, ") + unitName(m_lastUnit);
}

void TabMeasurement::updatePressureUnit()
{
    const ChannelRecord channel = currentChannel();
    if (channel.unit != m_lastUnit) {
        m_lastUnit = channel.unit;
        m_graph->clear();
        if (m_graphType == PressureGraph)
            m_graph->plot()->setAxisTitle(QwtPlot::yLeft, pressureTitle());
    }
    ui->label_text_fixedCurrent->setText(tr("Давление, ") + channel.unitName());
}

void TabMeasurement::comboBoxEtalonChanged(int index)
{
    disconnect(m_fixedEtalonSpin, qOverload<double>(&QDoubleSpinBox::valueChanged), this,
               &TabMeasurement::setFixedEtalon);
    const bool fixed = index != 0;
    g_device->channelsModel()->setFixedEtalon(fixed, fixed ? m_fixedEtalonSpin->value() : 0.0);
    m_fixedEtalonSpin->setVisible(fixed);
    m_fixedEtalonUnit->setVisible(fixed);
    if (fixed)
        connect(m_fixedEtalonSpin, qOverload<double>(&QDoubleSpinBox::valueChanged), this,
                &TabMeasurement::setFixedEtalon);
}

void TabMeasurement::setFixedEtalon(double value)
{
    g_device->channelsModel()->setFixedEtalon(true, value);
}

void TabMeasurement::onFixedValueChanged(double value)
{
    g_device->channelsModel()->manualValue = float(value);
}

void TabMeasurement::comboBoxGraphTypeChanged(int type)
{
    TryLocker lock(m_mutex);
    if (!lock.isLocked())
        return;
    m_graph->clear();
    m_graphType = type;
    LinenPlot* plot = m_graph->plot();
    m_etalonGroup->setVisible(type == PressureGraph);
    if (type == PressureGraph) {
        plot->attachCurve(EtalonCurve);
        plot->curve(EtalonCurve)->setTitle(tr("Эталон"));
        plot->setAxisTitle(QwtPlot::yLeft, pressureTitle());
        plot->curve(MeasuredCurve)->setTitle(tr("Измеренное значение"));
    } else {
        plot->detachCurve(EtalonCurve);
    }
    if (type == CurrentGraph) {
        plot->curve(EtalonCurve)->setTitle(tr("Считанный через HART"));
        plot->curve(MeasuredCurve)->setTitle(tr("Измеренное значение"));
        plot->setAxisTitle(QwtPlot::yLeft, tr("Ток, мА"));
        setHartCurveVisible(g_device->pollMode() == HartMode);
    } else if (type == ErrorGraph) {
        plot->setAxisTitle(QwtPlot::yLeft, tr("Погрешность"));
        plot->curve(MeasuredCurve)->setTitle(tr("Вычисленное значение"));
    }
    m_graph->setAllCurvesVisible(true);
}

void TabMeasurement::updateLinen()
{
    TryLocker lock(m_mutex);
    if (!lock.isLocked() || m_graphType < PressureGraph || m_graphType > ErrorGraph)
        return;
    const ChannelRecord channel = currentChannel();
    LinenPlot* plot = m_graph->plot();
    plot->appendSample();
    switch (m_graphType) {
    case PressureGraph:
        plot->fillCurveValue(MeasuredCurve, channel.measured);
        plot->fillCurveValue(EtalonCurve, channel.reference);
        break;
    case CurrentGraph:
        plot->fillCurveValue(MeasuredCurve, channel.current);
        if (g_device->pollMode() == HartMode)
            plot->fillCurveValue(EtalonCurve, channel.hartCurrent);
        break;
    default:
        plot->fillCurveValue(MeasuredCurve, channel.error);
        break;
    }
    plot->updateCurves();
}

void TabMeasurement::loadCurrentGroup()
{
    ui->spinBox_currentGroup->setValue(g_device->resultsModel()->currentGroup());
}

void TabMeasurement::changeCurrentGroup(int group)
{
    g_device->resultsModel()->setCurrentGroup(group);
}

// Space is the window's add-point key. A spin box claims it before any shortcut and, with its
// text selected after Return, replaces the value by a blank; on this page it never gets it.
void TabMeasurement::keepAddPointKey()
{
    for (QAbstractSpinBox* box : findChildren<QAbstractSpinBox*>())
        box->installEventFilter(this);
}

bool TabMeasurement::eventFilter(QObject* watched, QEvent* event)
{
    const QEvent::Type type = event->type();
    if (type != QEvent::ShortcutOverride && type != QEvent::KeyPress && type != QEvent::KeyRelease)
        return QWidget::eventFilter(watched, event);
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() != Qt::Key_Space || key->modifiers() != Qt::NoModifier)
        return QWidget::eventFilter(watched, event);
    // An override left unclaimed lets the shortcut act; a key press that still comes, with the
    // action disabled while nothing is polled, ends here.
    event->setAccepted(type != QEvent::ShortcutOverride);
    return true;
}

void TabMeasurement::fitTableHeight()
{
    const int header = QFontMetrics(ui->tableView->horizontalHeader()->font()).height();
    const int row = QFontMetrics(ui->tableView->font()).height();
    ui->tableView->setFixedHeight(header + row + 20);
}

// Only a switch of pages pauses polling; a minimised or restored window leaves it running.
void TabMeasurement::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    if (event->spontaneous())
        return;
    setActionsVisible(false);
    ui->comboBox_measureType->setEnabled(true);
    g_device->stopPoll();
    setControlsPolling(false);
}

void TabMeasurement::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (event->spontaneous())
        return;
    setActionsVisible(true);
    if (m_polling)
        continuePoll();
}
