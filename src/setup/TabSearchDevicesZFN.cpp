#include "TabSearchDevicesZFN.h"

#include "DeviceZFN.h"
#include "IconSet.h"
#include "VerificationSettings.h"
#include "ui_TabSearchDevicesZFN.h"

#include <QFontMetrics>
#include <QHeaderView>
#include <QSerialPort>
#include <QSignalBlocker>
#include <QTableWidgetItem>

TabSearchDevicesZFN* g_tabSearchDevices = nullptr;
QString g_headerComPort;
QString g_headerDeviceType;

namespace {
enum Column { ColumnAddress = 0, ColumnPort = 1, ColumnType = 2, ColumnCount = 3 };
}  // namespace

TabSearchDevicesZFN::TabSearchDevicesZFN(QWidget* parent) : QWidget(parent), ui(new Ui_TabSearchDevicesZFN)
{
    ui->setupUi(this);
    g_tabSearchDevices = this;
    g_headerComPort = tr("СОМ порт");
    g_headerDeviceType = tr("Тип устройства");
    initTable();
    makeConnections();

    ui->checkBox_searchSingleDevice->setChecked(true);
    ui->checkBox_searchDeviceMode->setChecked(false);
    setDeviceButtonsEnabled(false);

    ui->pushButton_searchDevices->setIcon(g_icon_symbol_searchDev);
    ui->pushButton_checkDevice->setIcon(g_icon_symbol_checkDev);
    ui->pushButton_disconnectDevice->setIcon(g_icon_symbol_disconnect);
    ui->pushButton_updateComList->setIcon(g_icon_symbol_update);

    ui->tableWidget->setColumnHidden(ColumnAddress, true);
    fillPortCombos();
}

TabSearchDevicesZFN::~TabSearchDevicesZFN()
{
    if (g_tabSearchDevices == this)
        g_tabSearchDevices = nullptr;
    delete ui;
}

void TabSearchDevicesZFN::makeConnections()
{
    connect(ui->pushButton_searchDevices, &QPushButton::clicked, this, &TabSearchDevicesZFN::searchDevices,
            Qt::DirectConnection);
    connect(ui->pushButton_checkDevice, &QPushButton::clicked, this, &TabSearchDevicesZFN::checkCurrentDevice,
            Qt::DirectConnection);
    connect(ui->pushButton_disconnectDevice, &QPushButton::clicked, this, &TabSearchDevicesZFN::disconnectDevice,
            Qt::DirectConnection);
    connect(g_device, &DeviceZFN::searchFinished, this, &TabSearchDevicesZFN::searchFinished, Qt::QueuedConnection);
    connect(g_device, &DeviceZFN::checkCurrentDevice, this, &TabSearchDevicesZFN::checkCurrentDevice,
            Qt::QueuedConnection);
    connect(ui->pushButton_updateComList, &QPushButton::clicked, this, &TabSearchDevicesZFN::updatePortsList);
    connect(ui->checkBox_searchSingleDevice, &QCheckBox::toggled, this, &TabSearchDevicesZFN::setSearchSingleDevice);
    connect(ui->checkBox_searchDeviceMode, &QCheckBox::toggled, this, &TabSearchDevicesZFN::setSearchDeviceMode);
}

void TabSearchDevicesZFN::initTable()
{
    QTableWidget* table = ui->tableWidget;
    table->setRowCount(0);
    table->setColumnCount(ColumnCount);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setSelectionMode(QAbstractItemView::SingleSelection);
    setColumnWidths();
    table->setHorizontalHeaderLabels({tr("Адрес"), g_headerComPort, g_headerDeviceType});
}

void TabSearchDevicesZFN::setColumnWidths()
{
    QTableWidget* table = ui->tableWidget;
    QFont headerFont = table->horizontalHeader()->font();
    headerFont.setWeight(QFont::Bold);
    table->horizontalHeader()->setFont(headerFont);
    const QFontMetrics metrics(headerFont);
    const int portWidth = metrics.horizontalAdvance(g_headerComPort) + 10;
    const int typeWidth = metrics.horizontalAdvance(g_headerDeviceType) + 10;
    const int needed = metrics.horizontalAdvance(QStringLiteral("10")) + portWidth + typeWidth + 10;
    if (needed > table->width())
        table->setFixedWidth(needed);

    QHeaderView* header = table->horizontalHeader();
    header->setSectionResizeMode(ColumnAddress, QHeaderView::Interactive);
    header->setSectionResizeMode(ColumnPort, QHeaderView::Interactive);
    header->setSectionResizeMode(ColumnType, QHeaderView::Stretch);
    table->setColumnWidth(ColumnAddress, 0);
    table->setColumnWidth(ColumnPort, portWidth);
    table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    table->verticalHeader()->setDefaultSectionSize(metrics.height() + 15);

    QPushButton* update = ui->pushButton_updateComList;
    update->setFixedWidth(update->fontMetrics().horizontalAdvance(update->text()) + 40);
}

void TabSearchDevicesZFN::fillPortCombos()
{
    g_device->refreshPortList();
    ui->comboBox_comIntervalMin->clear();
    ui->comboBox_comIntervalMax->clear();
    for (const PortEntry& port : g_device->portList()) {
        ui->comboBox_comIntervalMin->addItem(port.name);
        ui->comboBox_comIntervalMax->addItem(port.name);
    }
    const int last = ui->comboBox_comIntervalMax->count() - 1;
    if (last < 0)
        return;
    const bool range = g_device->getFlag(DeviceZFN::SearchPortRange).toBool();
    ui->comboBox_comIntervalMin->setCurrentIndex(range ? 0 : last);
    ui->comboBox_comIntervalMax->setCurrentIndex(last);
}

void TabSearchDevicesZFN::on_comboBox_comIntervalMin_currentIndexChanged(int index)
{
    if (ui->comboBox_comIntervalMax->currentIndex() < index)
        ui->comboBox_comIntervalMax->setCurrentIndex(index);
}

void TabSearchDevicesZFN::on_comboBox_comIntervalMax_currentIndexChanged(int index)
{
    if (ui->comboBox_comIntervalMin->currentIndex() > index)
        ui->comboBox_comIntervalMin->setCurrentIndex(index);
}

void TabSearchDevicesZFN::setSearchDeviceMode(bool on)
{
    g_device->setFlag(DeviceZFN::SearchPortRange, on);
    ui->comboBox_comIntervalMax->setVisible(on);
    ui->checkBox_searchSingleDevice->setVisible(on);
    ui->label_textComInterval->setText(on ? tr("Диапазон COM портов :") : tr("           COM порт :"));
}

void TabSearchDevicesZFN::setSearchSingleDevice(bool on)
{
    g_device->setFlag(DeviceZFN::SearchFirstOnly, on);
}

// The device object releases a connected calibrator itself once its workers have let go of the port,
// so the tab sends no release frame of its own here. A refused search leaves the table and the
// connection as they were.
void TabSearchDevicesZFN::searchDevices()
{
    ui->pushButton_searchDevices->setEnabled(false);
    if (g_device->startSearch(ui->comboBox_comIntervalMin->currentIndex(), ui->comboBox_comIntervalMax->currentIndex()))
        clearTable();
    ui->pushButton_searchDevices->setEnabled(true);
}

void TabSearchDevicesZFN::searchFinished()
{
    const QList<DeviceInfo>& devices = g_device->foundDevices();
    if (devices.isEmpty()) {
        setDeviceButtonsEnabled(false);
        return;
    }
    for (const DeviceInfo& device : devices)
        appendDeviceRow(device);
    ui->tableWidget->setCurrentCell(0, 0);
}

void TabSearchDevicesZFN::appendDeviceRow(const DeviceInfo& device)
{
    QTableWidget* table = ui->tableWidget;
    const int row = table->rowCount();
    table->insertRow(row);
    const QStringList texts{QString::number(device.address), device.port.name, device.modelName};
    for (int column = 0; column < ColumnCount; ++column) {
        auto* item = new QTableWidgetItem(texts.at(column));
        item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
        table->setItem(row, column, item);
    }
}

void TabSearchDevicesZFN::on_tableWidget_currentCellChanged(int currentRow, int, int previousRow, int)
{
    if (currentRow == previousRow)
        return;
    g_device->connectToDevice(currentRow);
    setDeviceButtonsEnabled(currentRow != -1);
}

void TabSearchDevicesZFN::disconnectDevice()
{
    ui->tableWidget->setCurrentCell(-1, -1);
}

// A HART operation asks for this ping from its worker; the port may still be in use there.
// A ping cut by the program's quit tells nothing.
void TabSearchDevicesZFN::checkCurrentDevice()
{
    if (!g_device->ensurePortFree())
        return;
    const bool answered = g_device->sendSessionStart();
    if (g_device->lastExchangeStatus() == DeviceZFN::ExchangeStatus::Aborted)
        return;
    g_device->showPopUpMessage(answered ? tr("Устройство на связи.") : tr("Нет связи с устройством."));
}

// The device object keeps a pointer into the found-device list, so it lets go before the list empties.
void TabSearchDevicesZFN::updatePortsList()
{
    disconnectDevice();
    if (g_device->connectedDevice())
        g_device->connectToDevice(-1);
    g_foundDevices.clear();
    clearTable();
    fillPortCombos();
}

void TabSearchDevicesZFN::clearTable()
{
    const QSignalBlocker blocker(ui->tableWidget);
    ui->tableWidget->clear();
    initTable();
}

void TabSearchDevicesZFN::setDeviceButtonsEnabled(bool enabled)
{
    ui->pushButton_checkDevice->setEnabled(enabled);
    ui->pushButton_disconnectDevice->setEnabled(enabled);
}

void TabSearchDevicesZFN::loadSettings()
{
    ui->checkBox_searchSingleDevice->setChecked(g_device->getFlag(DeviceZFN::SearchFirstOnly).toBool());
    ui->checkBox_searchDeviceMode->setChecked(g_device->getFlag(DeviceZFN::SearchPortRange).toBool());
    selectStoredPort(ui->comboBox_comIntervalMin, g_verificationSettings->currentPortIndexMin);
    const int lastPort = ui->comboBox_comIntervalMax->count() - 1;
    const int storedMax = g_verificationSettings->currentPortIndexMax;
    selectStoredPort(ui->comboBox_comIntervalMax, storedMax == -1 ? lastPort : storedMax);
}

void TabSearchDevicesZFN::selectStoredPort(QComboBox* combo, int index)
{
    if (index >= 0 && index < combo->count())
        combo->setCurrentIndex(index);
}

// A range that ends at the last port is stored as -1, so it still ends there when ports are added.
void TabSearchDevicesZFN::saveSettings()
{
    const QComboBox* last = ui->comboBox_comIntervalMax;
    g_verificationSettings->currentPortIndexMin = qint16(ui->comboBox_comIntervalMin->currentIndex());
    g_verificationSettings->currentPortIndexMax =
        qint16(last->currentIndex() == last->count() - 1 ? -1 : last->currentIndex());
}
