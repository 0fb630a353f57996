#include "MainWindow.h"

#include "ConfiguratorModule.h"
#include "DeviceAuxBlock.h"
#include "DeviceZFN.h"
#include "GraduationMenu.h"
#include "HidHandler.h"
#include "IconSet.h"
#include "LongWait.h"
#include "ScreenLocker.h"
#include "TabArchive.h"
#include "TabConfiguration.h"
#include "TabDeviceConfiguration.h"
#include "TabHart.h"
#include "TabMeasurement.h"
#include "TabResults.h"
#include "TabSearchDevicesZFN.h"
#include "WaitInputFilter.h"
#include "ui_MainWindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QResizeEvent>
#include <QTabBar>
#include <QTimer>

MainWindow::MainWindow(QWidget* parent) : QMainWindow(parent), ui(new Ui_MainWindow)
{
    // Pictures need the GUI application; the device object is also used without one.
    loadIcons();
    ui->setupUi(this);
    new HidHandler(this);
    m_baseTitle =
        tr("Автоматизированное рабочее место (АРМ) %1   версия %2").arg(tr("ЗФН"), QStringLiteral(APP_VERSION));
    setWindowTitle(m_baseTitle);
    createTabs();
    setActionIcons();
}

// The device object outlives the window, so it must not keep pointers to the window's actions.
MainWindow::~MainWindow()
{
    *g_device->auxBlock() = DeviceAuxBlock();
    delete ui;
    delete m_locker;
}

void MainWindow::createTabs()
{
    ui->menu_graduation->menuAction()->setVisible(false);
    ui->action_quit->setEnabled(true);
    ui->mainToolBar->hide();

    m_statusLabel = new QLabel(ui->statusBar);
    ui->statusBar->hide();

    connect(ui->action_quit, &QAction::triggered, this, &MainWindow::quit);
    auto* waitInput = new WaitInputFilter(ui->action_quit, this);
    connect(waitInput, &WaitInputFilter::quitRequested, this, &MainWindow::quit);
    LongWait::setUserInputFilter(waitInput);
    connect(ui->action_showFullScreen, &QAction::triggered, this, &MainWindow::showFullScreenSlot);
    ConfiguratorModule* configurator = g_device->configuratorModule();
    connect(ui->action_openArchive, &QAction::triggered, configurator, &ConfiguratorModule::openArchive);
    connect(ui->action_saveArchive, &QAction::triggered, configurator, &ConfiguratorModule::saveArchive);
    connect(g_device, &DeviceZFN::setDeviceType, this, &MainWindow::setDeviceType, Qt::DirectConnection);

    DeviceAuxBlock* auxBlock = g_device->auxBlock();
    auxBlock->addPointAction = ui->action_addPointToResult;
    auxBlock->addGroupAction = ui->action_addGroupToResult;
    ui->action_addPointToResult->setVisible(false);
    ui->action_addGroupToResult->setVisible(false);

    addToPage(ui->tabConnection, new TabSearchDevicesZFN(ui->tabConnection));
    auto* settings = new TabDeviceConfiguration(ui->tabDevice);
    const int settingsWidth = settings->minimumWidth();
    if (minimumWidth() < settingsWidth)
        setMinimumSize(settingsWidth, int(settingsWidth * 0.7));
    addToPage(ui->tabDevice, settings);
    addToPage(ui->tabResults, new TabResults(ui->tabResults));
    auto* measurement = new TabMeasurement(ui->tabMeasurement);
    addToPage(ui->tabMeasurement, measurement);
    m_tabConfiguration = new TabConfiguration(ui->tabConfiguration);
    addToPage(ui->tabConfiguration, m_tabConfiguration);
    auto* archive = new TabArchive(ui->tabArchive);
    addToPage(ui->tabArchive, archive);
    m_graduationMenu = new GraduationMenu(ui->tabGraduation);
    addToPage(ui->tabGraduation, m_graduationMenu);
    auto* hart = new TabHart(this);
    addToPage(ui->tabHart, hart);

    m_locker = new ScreenLocker(this);
    m_locker->resize(size());
    m_locker->hide();

    connectInterface(measurement, hart);
    connectRequests(archive);
}

void MainWindow::addToPage(QWidget* page, QWidget* tab)
{
    page->layout()->addWidget(tab);
}

void MainWindow::connectInterface(TabMeasurement* measurement, TabHart* hart)
{
    connect(g_device, &DeviceZFN::lockInteface, this, &MainWindow::block);
    connect(g_device, &DeviceZFN::unlockInteface, this, &MainWindow::unblock);
    connect(m_locker, &ScreenLocker::buttonPushed, g_device, &DeviceZFN::stopSearch);
    connect(ui->action_foundDevices, &QAction::triggered, g_tabSearchDevices, &TabSearchDevicesZFN::searchDevices);
    connect(ui->action_disconnectCurrentDevice, &QAction::triggered, g_tabSearchDevices,
            &TabSearchDevicesZFN::disconnectDevice);
    connect(ui->action_emulation, &QAction::triggered, this, &MainWindow::showEmulationGraduationMenu);
    connect(ui->action_measurment, &QAction::triggered, this, &MainWindow::showMeasurmentGraduationMenu);
    connect(ui->action_openProject, &QAction::triggered, this, &MainWindow::loadProject);
    connect(ui->action_saveProject, &QAction::triggered, this, &MainWindow::saveProject);
    connect(g_device, &DeviceZFN::deviceConnected, g_tabDeviceConfiguration,
            &TabDeviceConfiguration::readDeviceSettings);
    // The HART page refreshes after the settings read that a connect starts, when the port is free again.
    connect(g_device, &DeviceZFN::deviceConnected, this, [this] { m_hartRefreshPending = true; });
    connect(g_device, &DeviceZFN::algoritmFinished, hart, [this, hart](int operation) {
        if (operation != 0 || !m_hartRefreshPending)
            return;
        m_hartRefreshPending = false;
        hart->updateTab();
    });
    connect(m_tabConfiguration, &TabConfiguration::changeMeasureType, measurement, &TabMeasurement::setPollMode);
    TabConfiguration* configuration = m_tabConfiguration;
    connect(g_device, &DeviceZFN::archiveSerialFound, configuration, [configuration](quint32 serial) {
        configuration->setDeviceSerialNumber(serial);
        configuration->applySettings(true);
    });
}

void MainWindow::connectRequests(TabArchive* archive)
{
    connect(archive, &TabArchive::archiveMovedToResults, this, &MainWindow::showResultsTab);
    ConfiguratorModule* configurator = g_device->configuratorModule();
    connect(configurator, &ConfiguratorModule::projectLoaded, this, &MainWindow::loadTabsFromSettings);
    connect(configurator, &ConfiguratorModule::projectAboutToBeSaved, this, &MainWindow::saveTabsToSettings);
    TabConfiguration* configuration = m_tabConfiguration;
    connect(
        configurator, &ConfiguratorModule::projectPathChosen, configuration,
        [configuration](bool* accepted) { *accepted = configuration->applySettings(true); }, Qt::DirectConnection);
    connect(configurator, &ConfiguratorModule::currentProjectChanged, this, &MainWindow::setProjectName);
    connect(configurator, &ConfiguratorModule::archiveFileLoaded, this, &MainWindow::showArchiveTab);
}

void MainWindow::setActionIcons()
{
    ui->action_openProject->setIcon(g_icon_symbol_fileOpen);
    ui->action_saveProject->setIcon(g_icon_symbol_fileSave);
    ui->action_quit->setIcon(g_icon_symbol_exit);
    ui->action_foundDevices->setIcon(g_icon_symbol_searchDev);
    ui->action_disconnectCurrentDevice->setIcon(g_icon_symbol_disconnect);
    ui->action_showFullScreen->setIcon(g_icon_symbol_fullScreen);
    ui->action_addPointToResult->setIcon(g_icon_symbol_elementAdd);
    ui->action_addGroupToResult->setIcon(g_icon_symbol_elementAdd);
}

void MainWindow::setStartMode(int mode)
{
    switch (mode) {
    case TuneWork:
        m_graduationMenu->setEditable(true);
        break;
    case ServiceKey:
        m_graduationMenu->setFactory(true);
        break;
    case ApplyModes:
        applyStartModes();
        break;
    default:
        break;
    }
}

void MainWindow::applyStartModes()
{
    m_graduationMenu->applyFactory();
    if (m_graduationMenu->isEditable() || m_graduationMenu->isFactory())
        return;
    ui->tabDeviceConfig->removeTab(ui->tabDeviceConfig->indexOf(ui->tabGraduation));
    ui->action_emulation->setVisible(false);
    ui->action_measurment->setVisible(false);
}

void MainWindow::showResultsTab()
{
    ui->tabDeviceConfig->setCurrentWidget(ui->tabVerification);
    ui->tabVerificationTabWidget->setCurrentWidget(ui->tabResults);
}

void MainWindow::showArchiveTab()
{
    ui->tabDeviceConfig->setCurrentWidget(ui->tabArchive);
}

void MainWindow::setProjectName(const QString& name)
{
    setWindowTitle(m_baseTitle + QStringLiteral("  ") + name);
}

void MainWindow::loadTabsFromSettings()
{
    m_tabConfiguration->loadSettings();
    g_tabSearchDevices->loadSettings();
}

void MainWindow::saveTabsToSettings()
{
    g_tabSearchDevices->saveSettings();
}

void MainWindow::quit()
{
    g_device->cutExchangesForExit();
    QApplication::quit();
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    g_device->cutExchangesForExit();
    QMainWindow::closeEvent(event);
}

// Pages and actions are locked too, so that neither a key press nor a shortcut starts a second
// operation while the overlay is up.
void MainWindow::block(quint8 kind)
{
    connect(g_device, &DeviceZFN::sendProgress, m_locker, &ScreenLocker::setProgressValue, Qt::UniqueConnection);
    m_locker->setMode(kind);
    m_locker->fitToSize(size());
    m_locker->show();
    m_locker->raise();
    menuBar()->setEnabled(false);
    setActionsLocked(true);
}

void MainWindow::unblock()
{
    disconnect(g_device, &DeviceZFN::sendProgress, m_locker, &ScreenLocker::setProgressValue);
    menuBar()->setEnabled(true);
    setActionsLocked(false);
    m_locker->hide();
}

// Only the actions enabled at the lock are enabled again, so the add actions keep the state their tab gave them.
void MainWindow::setActionsLocked(bool locked)
{
    ui->tabDeviceConfig->setEnabled(!locked);
    if (!locked) {
        for (const QPointer<QAction>& action : qAsConst(m_lockedActions))
            if (action)
                action->setEnabled(true);
        m_lockedActions.clear();
        return;
    }
    for (QAction* action : menuActions()) {
        if (action->isEnabled()) {
            action->setEnabled(false);
            m_lockedActions.append(action);
        }
    }
}

QList<QAction*> MainWindow::menuActions() const
{
    QList<QAction*> actions;
    for (const QMenu* menu : {ui->menu, ui->menu_graduation, ui->menu_comands})
        for (QAction* action : menu->actions())
            if (!action->isSeparator())
                actions.append(action);
    return actions;
}

void MainWindow::showFullScreenSlot()
{
    if (isFullScreen())
        showNormal();
    else
        showFullScreen();
}

void MainWindow::showGraduationPage()
{
    ui->tabDeviceConfig->setCurrentWidget(ui->tabGraduation);
}

void MainWindow::showEmulationGraduationMenu()
{
    showGraduationPage();
    m_graduationMenu->showEmulationTab();
}

void MainWindow::showMeasurmentGraduationMenu()
{
    showGraduationPage();
    m_graduationMenu->showMeasurementTab();
}

void MainWindow::loadProject()
{
    g_device->configuratorModule()->openProject();
}

void MainWindow::saveProject()
{
    g_device->configuratorModule()->saveProjectAs();
}

void MainWindow::setDeviceType(int)
{
    ui->tabDeviceConfig->setTabText(ui->tabDeviceConfig->indexOf(ui->tabDevice),
                                    tr("Настройки ") + g_device->deviceName());
}

void MainWindow::showStatusMessage(QString text)
{
    m_statusLabel->setText(text);
}

void MainWindow::onInitializationComplete()
{
    g_device->configuratorModule()->loadLastProject();
}

void MainWindow::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    if (m_locker->isVisible())
        m_locker->fitToSize(event->size());
}

// Only the first show reloads the last project: a restore after minimising keeps unsaved edits.
void MainWindow::showEvent(QShowEvent* event)
{
    g_lockerOffsetX = 0;
    g_lockerOffsetY = menuBar()->height() + 2 * ui->tabDeviceConfig->tabBar()->height();
    QMainWindow::showEvent(event);
    if (m_shownBefore)
        return;
    m_shownBefore = true;
    QTimer::singleShot(1, this, &MainWindow::onInitializationComplete);
}
