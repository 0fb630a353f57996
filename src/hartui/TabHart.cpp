#include "TabHart.h"

#include "DeviceZFN.h"
#include "HartMaster.h"
#include "HartDeviceData.h"
#include "HartStatusWidget.h"
#include "PollController.h"
#include "PortOwner.h"
#include "TabHartInformation.h"
#include "TabHartParametrs.h"
#include "TabHartSpecific.h"
#include "TabHartUCurrentOutput.h"
#include "TabHartxAditionalStatus.h"
#include "ui_TabHart.h"

#include <QShowEvent>
#include <QTimer>

namespace {

constexpr int OperationEnd = -1;
constexpr int InformationPage = 0;
constexpr int ParametrsPage = 1;
constexpr int SpecificPage = 2;
constexpr int CurrentOutputPage = 3;
constexpr int AdditionalStatusPage = 4;
constexpr int PortWatchMs = 2;
// As long as a stopped worker may take to end: its exchange time-outs bound that.
constexpr int WorkerWaitMs = 10000;

// After the device-specific read every group is shown, or disabled, whether or not it answered.
const int specificGroupCommands[] = {128, 130, 132, 145, 134, 147};

// A command whose success is told in a message. Inside a factory reset the configuration flag is
// cleared as one of its steps, not on request, and only its second command 136 completes it.
struct Confirmation
{
    enum FactoryReset { Any, Outside, Inside };

    int command;
    const char* text;
    FactoryReset factoryReset;

    bool isDue(const HartDeviceData& snapshot) const
    {
        return DeviceZFN::hartResponseOk(snapshot)
               && (factoryReset == Any || snapshot.factoryResetRunning == (factoryReset == Inside));
    }
};

const Confirmation confirmations[] = {
    {38, QT_TRANSLATE_NOOP("TabHart", "Флаг изменения кофигурации сброшен"), Confirmation::Outside},
    {42, QT_TRANSLATE_NOOP("TabHart", "HART-устройсво перезагружено."), Confirmation::Any},
    {43, QT_TRANSLATE_NOOP("TabHart", "Ноль установлен."), Confirmation::Any},
    {83, QT_TRANSLATE_NOOP("TabHart", "Сброс коэффициентов подстройки прошел успешно"), Confirmation::Any},
    {136, QT_TRANSLATE_NOOP("TabHart", "Заводские настройки успешно установлены."), Confirmation::Inside},
};

const Confirmation* confirmationOf(int command)
{
    for (const Confirmation& confirmation : confirmations)
        if (confirmation.command == command)
            return &confirmation;
    return nullptr;
}

}  // namespace

TabHart::TabHart(QWidget* parent)
    : QWidget(parent)
    , ui(new Ui_TabHart)
    , m_portWatch(new QTimer(this))
{
    ui->setupUi(this);
    m_statusWidget = new HartStatusWidget(this);
    ui->horizontalLayout_statusBar->insertWidget(0, m_statusWidget);
    m_information = new TabHartInformation(ui->tab_hart_information);
    ui->gridLayout_2->addWidget(m_information);
    m_parametrs = new TabHartParametrs(ui->tab_hart_paremetrs);
    ui->gridLayout_3->addWidget(m_parametrs);
    m_specific = new TabHartSpecific(ui->tab_hart_specific);
    ui->gridLayout_4->addWidget(m_specific);
    m_currentOutput = new TabHartUCurrentOutput(ui->tab_hart_currentOutput);
    ui->gridLayout_5->addWidget(m_currentOutput);
    m_additionalStatus = new TabHartxAditionalStatus(ui->tab_hart_aditionalStatus);
    ui->verticalLayout_2->addWidget(m_additionalStatus);

    connect(g_device, &DeviceZFN::sendHartResult, this, &TabHart::getHartResult);
    connect(g_device, &DeviceZFN::sendAlgoritmFinished, this, &TabHart::getHartAlgoritmResult);
    connect(ui->tabWidget, &QTabWidget::currentChanged, this, &TabHart::currentTabChanged);
    connect(g_device, &DeviceZFN::sendHartDeviceConnectionState, m_statusWidget,
            &HartStatusWidget::setHartDeviceConnectionState);
    ui->tabWidget->removeTab(AdditionalStatusPage);

    m_portWatch->setInterval(PortWatchMs);
    connect(m_portWatch, &QTimer::timeout, this, &TabHart::watchPort);
}

TabHart::~TabHart()
{
    delete ui;
}

// A HART operation locks the interface but leaves the unlock to this page, at its end marker.
void TabHart::getHartResult(int command, const HartDeviceData& snapshot)
{
    if (const Confirmation* confirmation = confirmationOf(command)) {
        if (confirmation->isDue(snapshot))
            showMessage(confirmation->text);
        return;
    }
    switch (command) {
    case OperationEnd:
        emit g_device->unlockInteface();
        m_statusWidget->showDeviceStatus(snapshot.deviceStatus);
        break;
    case 0:
        m_information->showIdentity(snapshot);
        break;
    case 6:
        m_information->showPollingAddress(snapshot);
        break;
    case 12:
        m_information->showHartMessage(snapshot);
        break;
    case 13:
        m_information->showTagDescriptorDate(snapshot);
        break;
    case 20:
        m_information->showLongTag(snapshot, snapshot.longTagSupported);
        break;
    case 1: case 9:
        m_parametrs->showVariableUnits(snapshot);
        m_specific->showScaleShiftUnit(snapshot);
        if (DeviceZFN::hartResponseOk(snapshot))
            m_parametrs->enableWriteButton();
        break;
    case 14:
        m_parametrs->showSensorInfo(snapshot);
        break;
    case 15:
        m_parametrs->showOutputInfo(snapshot);
        break;
    case 48:
        m_additionalStatus->showAdditionalStatus(snapshot);
        break;
    case 82:
        m_specific->onTrimPointWritten(snapshot);
        break;
    case 128:
        m_specific->showOutputSignal(snapshot);
        m_currentOutput->onOutputTypeRead(snapshot);
        break;
    case 130:
        m_specific->showSquareRootSettings(snapshot);
        break;
    case 132:
        m_specific->showIndication(snapshot);
        break;
    case 134:
        m_specific->showProtection(snapshot);
        break;
    case 145:
        m_specific->showScaleShiftPressure(snapshot);
        break;
    case 147:
        m_specific->showScaleShiftCurrent(snapshot);
        break;
    // Writes and trims: their results are shown by the read that follows them.
    case 7: case 17: case 18: case 22: case 34: case 35: case 40: case 44: case 45: case 46: case 47: case 59:
    case 80: case 81: case 122: case 123: case 129: case 131: case 133: case 135: case 146: case 148:
        break;
    default:
        showMessage(QT_TR_NOOP("Неизвестная HART команда"));
        break;
    }
}

void TabHart::getHartAlgoritmResult(int algorithm, bool succeeded, const HartDeviceData& snapshot)
{
    if (algorithm == 9) {
        m_specific->enableTrimGroup(snapshot.trimInfoRead);
        for (const int command : specificGroupCommands)
            getHartResult(command, snapshot);
        m_specific->enableWriteButtons(snapshot);
    } else if (algorithm == 12) {
        // A trim starts only from limits this very read brought.
        if (succeeded && DeviceZFN::hartResponseOk(snapshot)) {
            m_specific->showTrimLimits(snapshot);
            m_specific->beginTrimByTwoPoints(snapshot);
        }
    } else if (algorithm == 1) {
        m_information->enableWriteButtons(succeeded);
    }
}

void TabHart::readHartDeviceAdress()
{
    m_information->readDeviceAdress();
}

void TabHart::updateTab()
{
    if (isVisible())
        currentTabChanged(ui->tabWidget->currentIndex());
}

// Never blocks: a HART worker holding the port is asked to stop (unless it writes) and the read
// waits until the port is home; the operation's own overlay covers that wait.
void TabHart::currentTabChanged(int index)
{
    m_pendingIndex = index;
    PollController* work = g_device->pollController();
    if (g_device->portOwner()->isFree()) {
        readPendingPage();
        return;
    }
    if (!g_device->hartMaster()->isRunning()) {
        m_pendingIndex = -1;
        return;
    }
    if (work->operationFlag)
        g_device->stopSearch();
    if (!m_portWatch->isActive()) {
        m_waitClock.start();
        m_portWatch->start();
    }
}

void TabHart::watchPort()
{
    if (g_device->portOwner()->isFree()) {
        m_portWatch->stop();
        readPendingPage();
    } else if (m_waitClock.hasExpired(WorkerWaitMs)) {
        m_portWatch->stop();
        m_pendingIndex = -1;
    }
}

void TabHart::readPendingPage()
{
    const int index = m_pendingIndex;
    m_pendingIndex = -1;
    readPage(index);
}

// Pages whose reads another part of the program brings read nothing yet.
void TabHart::readPage(int index)
{
    if (index == InformationPage)
        m_information->read(false);
    else if (index == ParametrsPage)
        m_parametrs->readParametrs(false);
    else if (index == SpecificPage)
        m_specific->read(false);
    else if (index == CurrentOutputPage)
        m_currentOutput->read(false);
    else if (index == AdditionalStatusPage)
        m_additionalStatus->readAdditionalDeviceStatus(false);
}

// Minimising and restoring the window neither stops nor reads.
void TabHart::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!event->spontaneous())
        currentTabChanged(ui->tabWidget->currentIndex());
}

void TabHart::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    if (!event->spontaneous())
        currentTabChanged(-1);
}

void TabHart::showMessage(const char* text)
{
    g_device->showPopUpMessage(tr(text));
}
