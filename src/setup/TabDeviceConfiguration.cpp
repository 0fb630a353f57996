#include "TabDeviceConfiguration.h"

#include "AsciiUail.h"
#include "CalibratorClock.h"
#include "CalibratorMap.h"
#include "ConfirmPrompt.h"
#include "DeviceSettings.h"
#include "DeviceZFN.h"
#include "DirectExchange.h"
#include "HartTextTables.h"
#include "IconSet.h"
#include "PressureUnits.h"
#include "TextDiscription.h"
#include "ui_TabDeviceConfiguration.h"

#include <QDateTime>
#include <QFontMetrics>
#include <QIntValidator>
#include <QMutexLocker>

TabDeviceConfiguration* g_tabDeviceConfiguration = nullptr;
int g_verifiedUnitIndex = 0;

namespace {

using CalibratorMap::RegTypeByte;
using CalibratorMap::RegTypeMemory;

enum Operation { ReadOperation = 0, WriteOperation = 1, ZeroOperation = 3, SupplyOperation = 4, HartOperation = 5 };

constexpr int kilopascal = 1;
constexpr int maximumSerial = 9999999;
constexpr int firstYear = 2000;
constexpr int lastYear = 2099;
const QList<int> brightnessCodes{16, 37, 112};
const QList<int> contrastCodes{7, 8, 9, 10, 11};

bool isKnownUnit(int index)
{
    return index >= 0 && index < PressureUnits::unitCount;
}

// Limits of an unknown unit are shown and taken in kPa.
quint8 limitUnit(int index)
{
    return quint8(isKnownUnit(index) ? index : kilopascal);
}

// A byte that is no position of the list leaves it without a selection.
void showPosition(QComboBox* list, int position)
{
    list->setCurrentIndex(position < list->count() ? position : -1);
}

// A list without a selection keeps the byte as it was read.
void takePosition(const QComboBox* list, quint8& byte)
{
    if (list->currentIndex() >= 0)
        byte = quint8(list->currentIndex());
}

void showCode(QComboBox* list, int code)
{
    list->setCurrentIndex(list->findData(code));
}

void fillCodes(QComboBox* list, const QStringList& texts, const QList<int>& codes)
{
    for (int i = 0; i < texts.size(); ++i)
        list->addItem(texts.at(i), codes.at(i));
}

bool isField(const QWidget* widget)
{
    return qobject_cast<const QAbstractSpinBox*>(widget) || qobject_cast<const QComboBox*>(widget)
           || qobject_cast<const QLineEdit*>(widget);
}

DeviceSettings blockCopy()
{
    QMutexLocker lock(g_device->mutex());
    return *g_device->deviceSettings();
}

void storeBlock(const DeviceSettings& block)
{
    QMutexLocker lock(g_device->mutex());
    *g_device->deviceSettings() = block;
}

int blockByte(int byte)
{
    return blockCopy().bytes[size_t(byte)];
}

}  // namespace

TabDeviceConfiguration::TabDeviceConfiguration(QWidget* parent) : QWidget(parent), ui(new Ui_TabDeviceConfiguration)
{
    ui->setupUi(this);
    g_tabDeviceConfiguration = this;
    fillLists();
    makeConnections();
    ui->label_text_voltage->hide();
    ui->comboBox_voltage->hide();
    ui->doubleSpinBox_etalonHi->setEnabled(false);
    ui->doubleSpinBox_etalonLow->setEnabled(false);
    ui->dateEdit->setDateRange(QDate(firstYear, 1, 1), QDate(lastYear, 12, 31));
    ui->dateEdit->setLocale(russianLocale());
    setIcons();
    ui->lineEdit_idFirstDatchic->setValidator(new QIntValidator(0, maximumSerial, this));
    clearForm();
    setFixedWidths();
}

TabDeviceConfiguration::~TabDeviceConfiguration()
{
    if (g_tabDeviceConfiguration == this)
        g_tabDeviceConfiguration = nullptr;
    delete ui;
}

void TabDeviceConfiguration::fillLists()
{
    const QStringList offOn{tr("выкл."), tr("вкл.")};
    ui->comboBox_voltage->addItems({tr("24 В"), tr("36 В")});
    ui->comboBox_relayTest->addItems(offOn);
    ui->comboBox_zummer->addItems(offOn);
    ui->comboBox_autoTurnOff->addItems(offOn);
    ui->comboBox_unitPD->setEnabled(false);
    ui->comboBox_unitPD->addItems(TextDiscription::lstUnits);
    ui->comboBox_unitVerifiablePD->addItems(TextDiscription::lstUnits);
    ui->comboBox_outputType->addItems({tr("0-5 мА"), tr("4-20 мА")});
    ui->comboBox_HartOnOff->addItems(offOn);
    ui->comboBox_hartProtocolOnOff->addItems(offOn);
    fillCodes(ui->comboBox_brightness, {tr("низкая"), tr("средняя"), tr("высокая")}, brightnessCodes);
    fillCodes(ui->comboBox_contrast, {"7", "8", "9", "10", "11"}, contrastCodes);
    ui->widget_hider_contrast->hide();
    ui->comboBox_currentPD->addItems({tr("внутренний"), tr("внешний")});
    ui->comboBox_HartOnOff->hide();
    ui->comboBox_hartProtocolOnOff->hide();
    ui->widget_hider_currentPD->hide();
}

void TabDeviceConfiguration::makeConnections()
{
    connect(ui->pushButton_readDateTimeFromDevice, &QPushButton::clicked, this,
            &TabDeviceConfiguration::readDateTimeFromDevice, Qt::DirectConnection);
    connect(ui->pushButton_writeDateTimeToDevice, &QPushButton::clicked, this,
            &TabDeviceConfiguration::writeDateTimeToDevice, Qt::DirectConnection);
    connect(ui->pushButton_writeDateTimeToDeviceCurrent, &QPushButton::clicked, this,
            &TabDeviceConfiguration::writeCurrentDateTimeToDevice, Qt::DirectConnection);
    connect(ui->pushButton_read, &QPushButton::clicked, this, &TabDeviceConfiguration::readDeviceSettings);
    connect(ui->pushButton_write, &QPushButton::clicked, this, &TabDeviceConfiguration::writeDeviceSettings);
    connect(ui->pushButton_standart, &QPushButton::clicked, this, &TabDeviceConfiguration::setStandartSettings);
    connect(ui->pushButton_setNull, &QPushButton::clicked, this, &TabDeviceConfiguration::setTzsNullButton);
    connect(ui->pushButton_u24on, &QPushButton::clicked, this, &TabDeviceConfiguration::setU24On);
    connect(ui->pushButton_u24off, &QPushButton::clicked, this, &TabDeviceConfiguration::setU24Off);
    connect(ui->pushButton_hartOn, &QPushButton::clicked, this, &TabDeviceConfiguration::setHartOn);
    connect(ui->pushButton_hartOff, &QPushButton::clicked, this, &TabDeviceConfiguration::setHartOff);
    connect(g_device, &DeviceZFN::algoritmFinished, this, &TabDeviceConfiguration::getAlgoritmResult);
    connect(g_device, &DeviceZFN::settingsBlockChanged, this, &TabDeviceConfiguration::settingsToForm,
            Qt::QueuedConnection);
    routeUnitList(false);
    connect(g_device, &DeviceZFN::setDeviceType, this, &TabDeviceConfiguration::setDeviceType, Qt::DirectConnection);
}

void TabDeviceConfiguration::setIcons()
{
    ui->pushButton_read->setIcon(g_icon_arrow_up_green);
    ui->pushButton_readDateTimeFromDevice->setIcon(g_icon_arrow_up_green);
    ui->pushButton_write->setIcon(g_icon_arrow_down_red);
    ui->pushButton_writeDateTimeToDevice->setIcon(g_icon_arrow_down_red);
    ui->pushButton_writeDateTimeToDeviceCurrent->setIcon(g_icon_arrow_down_red);
    ui->pushButton_standart->setIcon(g_icon_symbol_current);
    ui->pushButton_setNull->setIcon(g_icon_symbol_current);
}

void TabDeviceConfiguration::setFixedWidths()
{
    ui->groupBox_deviceParametrs->setFont(font());
    const QFontMetrics metrics(font());
    const int labelWidth = metrics.horizontalAdvance(ui->label_text_idFirstDatchic->text()) + 50;
    const int fieldWidth = metrics.horizontalAdvance(QStringLiteral("0000000000000")) + 10;
    // A spin box's own line edit is no field: given the box's width it would cover the arrows.
    for (QWidget* field : ui->groupBox_deviceParametrs->findChildren<QWidget*>()) {
        if (isField(field) && !isField(field->parentWidget()))
            field->setFixedWidth(fieldWidth);
    }
    for (QWidget* hidden : {ui->comboBox_HartOnOff, ui->comboBox_hartProtocolOnOff, ui->comboBox_voltage})
        hidden->setFixedWidth(fieldWidth);
    ui->groupBox_deviceParametrs->setFixedWidth(labelWidth + fieldWidth + 50);
    ui->groupBox_dataTime->setFont(font());
    ui->groupBox_dataTime->setFixedWidth(metrics.horizontalAdvance(QStringLiteral("Считать  Записать")) + 100);
    for (QPushButton* button : {ui->pushButton_u24on, ui->pushButton_u24off, ui->pushButton_hartOn, ui->pushButton_hartOff})
        button->setFixedWidth(QFontMetrics(button->font()).horizontalAdvance(tr("выкл")) + 10);
    setMinimumWidth(labelWidth + fieldWidth + 100
                    + metrics.horizontalAdvance(ui->groupBox_pd_settings->title() + QString(22, '0')));
}

// While the form is filled from the block, a change of the unit only records it: the limits
// already stand in that unit.
void TabDeviceConfiguration::routeUnitList(bool toStaticValue)
{
    QComboBox* unit = ui->comboBox_unitVerifiablePD;
    disconnect(unit, QOverload<int>::of(&QComboBox::currentIndexChanged), this, nullptr);
    connect(unit, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            toStaticValue ? &TabDeviceConfiguration::devUnitSetStaticValue : &TabDeviceConfiguration::devUnitChanged);
}

void TabDeviceConfiguration::settingsToForm()
{
    const DeviceSettings block = blockCopy();
    routeUnitList(true);
    ui->spinBox_numberOfAveraging->setValue(block.bytes[DeviceSettings::AveragingByte]);
    ui->spinBox_numberOfSymbols->setValue(block.bytes[DeviceSettings::DigitsByte]);
    showPosition(ui->comboBox_voltage, block.bytes[DeviceSettings::VoltageByte]);
    showPosition(ui->comboBox_relayTest, block.bytes[DeviceSettings::RelayTestByte]);
    showPosition(ui->comboBox_zummer, block.bytes[DeviceSettings::BuzzerByte]);
    showPosition(ui->comboBox_autoTurnOff, block.bytes[DeviceSettings::AutoOffByte]);

    const int reference = block.etalonUnitIndex();
    ui->comboBox_unitPD->setCurrentIndex(isKnownUnit(reference) ? reference : -1);
    ui->doubleSpinBox_etalonLow->setValue(
        PressureUnits::fromKpaFloat(limitUnit(reference), block.floatAt(DeviceSettings::ModuleLowerByte)));
    ui->doubleSpinBox_etalonHi->setValue(
        PressureUnits::fromKpaFloat(limitUnit(reference), block.floatAt(DeviceSettings::ModuleUpperByte)));

    const int verified = block.verifiablePdUnitIndex();
    ui->comboBox_unitVerifiablePD->setCurrentIndex(isKnownUnit(verified) ? verified : -1);
    showPosition(ui->comboBox_outputType, block.bytes[DeviceSettings::CurrentInputByte]);
    ui->doubleSpinBox_LoP->setValue(
        PressureUnits::fromKpaFloat(limitUnit(verified), block.floatAt(DeviceSettings::VerifiedLowerByte)));
    ui->doubleSpinBox_HiP->setValue(
        PressureUnits::fromKpaFloat(limitUnit(verified), block.floatAt(DeviceSettings::VerifiedUpperByte)));
    ui->lineEdit_idFirstDatchic->setText(QString::number(block.u32At(DeviceSettings::VerifiedSerialByte)));
    fillDisplayAndSwitches(block);
    routeUnitList(false);
}

void TabDeviceConfiguration::fillDisplayAndSwitches(const DeviceSettings& block)
{
    showCode(ui->comboBox_brightness, block.bytes[DeviceSettings::DisplayCodeByte]);
    showCode(ui->comboBox_contrast, block.bytes[DeviceSettings::DisplayCodeByte]);
    showPosition(ui->comboBox_currentPD, block.bytes[DeviceSettings::ModuleChoiceByte]);
    ui->spinBox_alarmActivationK->setValue(block.bytes[DeviceSettings::AlarmByte]);
    showPosition(ui->comboBox_HartOnOff, block.bytes[DeviceSettings::Supply24VByte]);
    showPosition(ui->comboBox_hartProtocolOnOff, block.bytes[DeviceSettings::HartModemByte]);
}

// Fields the operator has not given a value (a list without a selection, an untouched serial
// number that the field cannot hold) keep their bytes as they were read.
void TabDeviceConfiguration::formToSettings()
{
    DeviceSettings block = blockCopy();
    auto& bytes = block.bytes;
    routeUnitList(true);
    bytes[DeviceSettings::AveragingByte] = quint8(ui->spinBox_numberOfAveraging->value());
    bytes[DeviceSettings::DigitsByte] = quint8(ui->spinBox_numberOfSymbols->value());
    takePosition(ui->comboBox_voltage, bytes[DeviceSettings::VoltageByte]);
    takePosition(ui->comboBox_relayTest, bytes[DeviceSettings::RelayTestByte]);
    takePosition(ui->comboBox_zummer, bytes[DeviceSettings::BuzzerByte]);
    takePosition(ui->comboBox_autoTurnOff, bytes[DeviceSettings::AutoOffByte]);
    if (ui->comboBox_unitVerifiablePD->currentIndex() >= 0)
        block.setVerifiablePdUnitIndex(quint8(ui->comboBox_unitVerifiablePD->currentIndex()));
    const quint8 unit = limitUnit(block.verifiablePdUnitIndex());
    block.setFloatAt(DeviceSettings::VerifiedLowerByte, PressureUnits::toKpaFloat(ui->doubleSpinBox_LoP->value(), unit));
    block.setFloatAt(DeviceSettings::VerifiedUpperByte, PressureUnits::toKpaFloat(ui->doubleSpinBox_HiP->value(), unit));
    takePosition(ui->comboBox_outputType, bytes[DeviceSettings::CurrentInputByte]);
    if (ui->lineEdit_idFirstDatchic->isModified())
        block.setU32At(DeviceSettings::VerifiedSerialByte, ui->lineEdit_idFirstDatchic->text().toUInt());
    takeDisplayCode(block);
    if (m_moduleRow)
        takePosition(ui->comboBox_currentPD, bytes[DeviceSettings::ModuleChoiceByte]);
    bytes[DeviceSettings::AlarmByte] = quint8(ui->spinBox_alarmActivationK->value());
    takePosition(ui->comboBox_HartOnOff, bytes[DeviceSettings::Supply24VByte]);
    takePosition(ui->comboBox_hartProtocolOnOff, bytes[DeviceSettings::HartModemByte]);
    storeBlock(block);
    routeUnitList(false);
}

void TabDeviceConfiguration::takeDisplayCode(DeviceSettings& block) const
{
    const QComboBox* list = m_brightnessRow ? ui->comboBox_brightness : m_contrastRow ? ui->comboBox_contrast : nullptr;
    if (list && list->currentIndex() >= 0)
        block.bytes[DeviceSettings::DisplayCodeByte] = quint8(list->currentData().toInt());
}

void TabDeviceConfiguration::clearForm()
{
    routeUnitList(true);
    for (QSpinBox* spin : {ui->spinBox_numberOfAveraging, ui->spinBox_numberOfSymbols, ui->spinBox_alarmActivationK})
        spin->setValue(0);
    for (QComboBox* list : {ui->comboBox_voltage, ui->comboBox_relayTest, ui->comboBox_zummer, ui->comboBox_autoTurnOff,
                            ui->comboBox_unitPD, ui->comboBox_unitVerifiablePD, ui->comboBox_outputType,
                            ui->comboBox_brightness, ui->comboBox_HartOnOff, ui->comboBox_hartProtocolOnOff,
                            ui->comboBox_contrast, ui->comboBox_currentPD})
        list->setCurrentIndex(-1);
    for (QDoubleSpinBox* limit : {ui->doubleSpinBox_LoP, ui->doubleSpinBox_HiP, ui->doubleSpinBox_etalonLow,
                                  ui->doubleSpinBox_etalonHi})
        limit->setValue(0.0);
    ui->lineEdit_idFirstDatchic->clear();
    ui->pushButton_write->setEnabled(false);
    routeUnitList(false);
}

void TabDeviceConfiguration::readDeviceSettings()
{
    if (!g_device->readyToStart())
        return;
    clearForm();
    g_device->startAlgorithm(ReadOperation, false, 0);
}

void TabDeviceConfiguration::writeDeviceSettings()
{
    if (!serialNumberComplete() || !g_device->readyToStart())
        return;
    formToSettings();
    g_device->startAlgorithm(WriteOperation, false, 0);
}

// An emptied field holds no serial number; it is never written as 0.
bool TabDeviceConfiguration::serialNumberComplete()
{
    QLineEdit* serial = ui->lineEdit_idFirstDatchic;
    if (serial->hasAcceptableInput())
        return true;
    serial->setFocus();
    g_device->showPopUpMessage(g_msgWrongFieldData);
    return false;
}

void TabDeviceConfiguration::setStandartSettings()
{
    ui->spinBox_numberOfAveraging->setValue(1);
    ui->spinBox_numberOfSymbols->setValue(3);
    ui->comboBox_voltage->setCurrentIndex(0);
    ui->comboBox_relayTest->setCurrentIndex(0);
    ui->comboBox_zummer->setCurrentIndex(1);
    ui->comboBox_autoTurnOff->setCurrentIndex(1);
    ui->comboBox_unitVerifiablePD->setCurrentIndex(kilopascal);
    ui->comboBox_outputType->setCurrentIndex(1);
    ui->doubleSpinBox_LoP->setValue(0.0);
    ui->doubleSpinBox_HiP->setValue(0.0);
    ui->lineEdit_idFirstDatchic->setText(QStringLiteral("0"));
    ui->lineEdit_idFirstDatchic->setModified(true);
    showCode(ui->comboBox_brightness, brightnessCodes.last());
    ui->comboBox_HartOnOff->setCurrentIndex(0);
    ui->comboBox_hartProtocolOnOff->setCurrentIndex(0);
    ui->spinBox_alarmActivationK->setValue(75);
    ui->comboBox_currentPD->setCurrentIndex(0);
    showCode(ui->comboBox_contrast, 8);
}

// The form is filled only from a read that passed every check; after a failed one it stays empty.
void TabDeviceConfiguration::getAlgoritmResult(int operation)
{
    switch (operation) {
    case ReadOperation:
        refreshSwitchButtons();
        if (!g_device->settingsReadSucceeded())
            return;
        settingsToForm();
        ui->pushButton_write->setEnabled(true);
        break;
    case SupplyOperation:
    case HartOperation:
        refreshSwitchButtons();
        break;
    default:
        break;
    }
}

void TabDeviceConfiguration::devUnitChanged(int index)
{
    const quint8 from = limitUnit(g_verifiedUnitIndex);
    const quint8 to = limitUnit(index);
    ui->doubleSpinBox_LoP->setValue(PressureUnits::convert(from, to, ui->doubleSpinBox_LoP->value()));
    ui->doubleSpinBox_HiP->setValue(PressureUnits::convert(from, to, ui->doubleSpinBox_HiP->value()));
    g_verifiedUnitIndex = index;
}

void TabDeviceConfiguration::devUnitSetStaticValue(int index)
{
    g_verifiedUnitIndex = index;
}

void TabDeviceConfiguration::setTzsNullButton()
{
    if (!g_device->readyToStart())
        return;
    if (ConfirmPrompt::ask(tr("Установить ноль для ТЖС?"), tr("Да"), tr("Отмена")))
        g_device->startAlgorithm(ZeroOperation, false, 0);
}

void TabDeviceConfiguration::setU24On()
{
    switchU24(true, true);
}

void TabDeviceConfiguration::setU24Off()
{
    switchU24(false, true);
}

void TabDeviceConfiguration::setHartOn()
{
    switchHart(true, true);
}

void TabDeviceConfiguration::setHartOff()
{
    switchHart(false, true);
}

void TabDeviceConfiguration::switchU24(bool on, bool send)
{
    switchOutput(DeviceSettings::Supply24VByte, SupplyOperation, on, send);
}

void TabDeviceConfiguration::switchHart(bool on, bool send)
{
    switchOutput(DeviceSettings::HartModemByte, HartOperation, on, send);
}

// The buttons show the block's state until the operation has read the switch back.
void TabDeviceConfiguration::switchOutput(int byte, int operation, bool on, bool send)
{
    refreshSwitchButtons();
    if (send && (blockByte(byte) != 0) != on && g_device->readyToStart())
        g_device->startAlgorithm(operation, false, on ? 1 : 0);
}

void TabDeviceConfiguration::refreshSwitchButtons()
{
    const DeviceSettings block = blockCopy();
    const bool supply = block.bytes[DeviceSettings::Supply24VByte] != 0;
    const bool modem = block.bytes[DeviceSettings::HartModemByte] != 0;
    ui->pushButton_u24on->setChecked(supply);
    ui->pushButton_u24off->setChecked(!supply);
    ui->pushButton_hartOn->setChecked(modem);
    ui->pushButton_hartOff->setChecked(!modem);
}

void TabDeviceConfiguration::setDeviceType(int type)
{
    if (type == CalibratorMap::TypeZfn020 || type == CalibratorMap::TypeZfn030 || type == CalibratorMap::TypeLmv160) {
        m_brightnessRow = true;
        m_contrastRow = false;
        m_moduleRow = type == CalibratorMap::TypeZfn030;
        ui->widget_hider_britness->setHidden(!m_brightnessRow);
        ui->widget_hider_contrast->setHidden(!m_contrastRow);
        ui->widget_hider_currentPD->setHidden(!m_moduleRow);
    }
    ui->groupBox_deviceParametrs->setTitle(tr("Параметры ") + g_device->deviceName());
}

// The clock is exchanged in this thread: only while no job holds the port.
bool TabDeviceConfiguration::clockReady()
{
    if (!g_device->isConnected()) {
        g_device->showPopUpMessage(g_device->deviceName() + tr(" не подключен!"));
        return false;
    }
    return g_device->ensurePortFree();
}

void TabDeviceConfiguration::showClockError()
{
    g_device->showPopUpMessage(tr("При получении данных возникла ошибка!"));
}

void TabDeviceConfiguration::readDateTimeFromDevice()
{
    if (!clockReady())
        return;
    QTime time;
    QDate date;
    if (!readClock(time, date)) {
        showClockError();
        return;
    }
    ui->timeEdit->setTime(time);
    ui->dateEdit->setDate(date);
}

// False for a reply that is missing, short, not hexadecimal, or no possible date and time.
bool TabDeviceConfiguration::readClock(QTime& time, QDate& date)
{
    QByteArray reply;
    int day = 0;
    int month = 0;
    if (!DirectExchange::readRegister(CalibratorMap::RegClock, RegTypeMemory, 4, &reply) || !AsciiUail::isHexText(reply)
        || !CalibratorClock::parseDeviceDate(reply, day, month))
        return false;
    time = CalibratorClock::parseDeviceTime(reply);
    QByteArray yearReply;
    if (!time.isValid()
        || !DirectExchange::readRegister(CalibratorMap::RegSettingsFirst, RegTypeMemory, 1, &yearReply))
        return false;
    bool numeric = false;
    const int year = yearReply.toInt(&numeric);
    if (!numeric || year < 0 || year > lastYear - firstYear)
        return false;
    date = QDate(firstYear + year, month, day);
    return date.isValid();
}

void TabDeviceConfiguration::writeDateTimeToDevice()
{
    if (clockReady() && writeClock(ui->dateEdit->date(), ui->timeEdit->time()))
        g_device->showPopUpMessage(tr("Дата успешно записана."));
}

void TabDeviceConfiguration::writeCurrentDateTimeToDevice()
{
    if (!clockReady())
        return;
    const QDateTime now = QDateTime::currentDateTime();
    if (!writeClock(now.date(), now.time()))
        return;
    g_device->showPopUpMessage(tr("Текущая дата успешно записана."));
    const QDateTime shown = QDateTime::currentDateTime();
    ui->timeEdit->setTime(shown.time());
    ui->dateEdit->setDate(shown.date());
}

// The year is also the first byte of the settings image: the block takes it, so that a later
// settings write does not put the old year back.
bool TabDeviceConfiguration::writeClock(const QDate& date, const QTime& time)
{
    quint8 image[CalibratorClock::ImageSize];
    const int size = CalibratorClock::encodeDateTime(date, time, image);
    const QByteArray data = QByteArray(reinterpret_cast<const char*>(image), size).toHex().toUpper();
    QByteArray reply;
    if (!DirectExchange::send(CalibratorMap::RegClock, RegTypeMemory, 4, data, &reply)) {
        // The calibrator may have taken the image without its answer arriving.
        DirectExchange::send(CalibratorMap::RegClock, RegTypeMemory, 1, "0", &reply);
        showClockError();
        return false;
    }
    if (!acknowledged(reply))
        return false;
    {
        QMutexLocker lock(g_device->mutex());
        g_device->deviceSettings()->bytes[DeviceSettings::YearByte] = image[CalibratorClock::ImageSize - 1];
    }
    if (!DirectExchange::send(CalibratorMap::RegClock, RegTypeMemory, 1, "0", &reply)) {
        showClockError();
        return false;
    }
    if (!acknowledged(reply))
        return false;
    if (!DirectExchange::write(CalibratorMap::RegSettingsClose, RegTypeByte, 1, "0")) {
        g_device->showPopUpMessage(tr("При записи параметров произошла ошибка!"));
        return false;
    }
    return true;
}

bool TabDeviceConfiguration::acknowledged(const QByteArray& reply)
{
    if (AsciiUail::isOkAnswer(reply))
        return true;
    g_device->showPopUpMessage(tr("Ошибка записи '") + QString::fromLatin1(reply) + tr("' !"));
    return false;
}
