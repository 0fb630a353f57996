#include "TabHartUCurrentOutput.h"

#include "DeviceZFN.h"
#include "DoubleValidator.h"
#include "HartDeviceData.h"
#include "HartTextTables.h"
#include "IconSet.h"
#include "ParametrPoller.h"
#include "ui_TabHartUCurrentOutput.h"

#include <QHideEvent>
#include <cmath>

namespace {

constexpr int AlgorithmReadCurrentOutput = 16;
constexpr int AlgorithmFixedCurrent = 17;
constexpr int AlgorithmTrimCurrentLo = 19;
constexpr int AlgorithmTrimCurrentHi = 20;
constexpr int ValueLoopCurrent = 5;
constexpr quint8 PollingAddressZero = 0x80;
constexpr float TrimCurrentMin = 3.5f;
constexpr float TrimCurrentMax = 23.0f;

const QString g_milliampSuffix = QCoreApplication::translate("TabHartUCurrentOutput", " мА");

QString number(float value)
{
    return QString::number(double(value), 'g', 6);
}

// A reply that is not a complete finite number is no current.
bool parseCurrent(const QString& text, float& value)
{
    bool ok = false;
    value = text.toFloat(&ok);
    return ok && std::isfinite(value);
}

}  // namespace

TabHartUCurrentOutput::TabHartUCurrentOutput(QWidget* parent)
    : QWidget(parent), ui(new Ui_TabHartUCurrentOutput), poller(new ParametrPoller(this))
{
    ui->setupUi(this);
    presetButtons = {ui->radioButton_value_1, ui->radioButton_value_2, ui->radioButton_value_3, ui->radioButton_value_4,
                     ui->radioButton_value_5, ui->radioButton_value_6, ui->radioButton_value_7};
    initUi();
    resetPresets();
    poller->connectPollSignal(this, &TabHartUCurrentOutput::pollCurrent);
    poller->connectStopedSignal(this, &TabHartUCurrentOutput::stopPollCurrent);
    ui->widget_zfnCurrent->hide();
    ui->label_warn_only_5_20->hide();
    connect(ui->pushButton_setFixedCurrentMode, &QPushButton::clicked, this, &TabHartUCurrentOutput::setFixedCurrent);
    connect(ui->pushButton_unsetFixedCurrentMode, &QPushButton::clicked, this, &TabHartUCurrentOutput::unsetFixedCurrent);
    connect(ui->radioButton_another, &QRadioButton::toggled, ui->lineEdit_staticValue, &QLineEdit::setEnabled);
    connect(ui->pushButton_setFixedLow, &QPushButton::clicked, this, &TabHartUCurrentOutput::startTrimLo);
    connect(ui->pushButton_setFixedHi, &QPushButton::clicked, this, &TabHartUCurrentOutput::startTrimHi);
    connect(ui->pushButton_setZfnValLo, &QPushButton::clicked, this, &TabHartUCurrentOutput::setZfnValLo);
    connect(ui->pushButton_setZfnValHi, &QPushButton::clicked, this, &TabHartUCurrentOutput::setZfnValHi);
    connect(ui->pushButton_trimLo, &QPushButton::clicked, this, &TabHartUCurrentOutput::trimLo);
    connect(ui->pushButton_trimHi, &QPushButton::clicked, this, &TabHartUCurrentOutput::trimHi);
    for (QPushButton* cancel : {ui->pushButton_stopTrimLo, ui->pushButton_stopTrimHi}) {
        connect(cancel, &QPushButton::clicked, this, &TabHartUCurrentOutput::resetTrimElement);
        connect(cancel, &QPushButton::clicked, this, &TabHartUCurrentOutput::unsetFixedCurrent);
    }
    resetTrimElement();
    presetsAllowed = true;
    setEnabled(false);
}

TabHartUCurrentOutput::~TabHartUCurrentOutput()
{
    poller->stop();
    delete ui;
}

void TabHartUCurrentOutput::initUi()
{
    auto* validator = new DoubleValidator(this);
    for (QLineEdit* field : {ui->lineEdit_staticValue, ui->lineEdit_valueLow, ui->lineEdit_valueHi})
        field->setValidator(validator);
    ui->lineEdit_staticValue->setEnabled(false);
    ui->pushButton_unsetFixedCurrentMode->setIcon(g_icon_symbol_turnOff);
    ui->pushButton_setFixedCurrentMode->setIcon(g_icon_symbol_current);
    for (QPushButton* set : {ui->pushButton_setFixedLow, ui->pushButton_setFixedHi})
        set->setIcon(g_icon_symbol_current);
    for (QPushButton* cancel : {ui->pushButton_stopTrimLo, ui->pushButton_stopTrimHi})
        cancel->setIcon(g_icon_symbol_stop);
    for (QPushButton* fromCalibrator : {ui->pushButton_setZfnValLo, ui->pushButton_setZfnValHi})
        fromCalibrator->setIcon(g_icon_arrow_up_green);
    for (QPushButton* trimButton : {ui->pushButton_trimLo, ui->pushButton_trimHi})
        trimButton->setIcon(g_icon_arrow_down_red);
}

void TabHartUCurrentOutput::resetPresets()
{
    for (QRadioButton* preset : presetButtons)
        preset->hide();
    lastOutputType = -1;
    ui->label_deviceInMultidropMode->hide();
    otherCurrentMin = otherCurrentMax = 0.0f;
    ui->pushButton_unsetFixedCurrentMode->setEnabled(true);
    ui->pushButton_setFixedCurrentMode->setEnabled(true);
}

void TabHartUCurrentOutput::setCurrentPresets()
{
    otherCurrentMin = 3.5f;
    otherCurrentMax = 23.0f;
    trimPointLo = 4.0f;
    trimPointHi = 20.0f;
    presetCurrents = {3.8f, 4.0f, 8.0f, 12.0f, 16.0f, 20.0f, 20.8f};
    for (size_t i = 0; i < presetButtons.size(); ++i) {
        presetButtons[i]->setText(QString::number(double(presetCurrents[i]), 'f', 1).leftJustified(5) + g_milliampSuffix);
        presetButtons[i]->show();
    }
    presetsAllowed = true;
    ui->label_warn_only_5_20->hide();
}

void TabHartUCurrentOutput::updateTrimTexts()
{
    ui->pushButton_setFixedLow->setText(tr("  Установить %1 мА  ").arg(number(trimPointLo)));
    ui->pushButton_setFixedHi->setText(tr("  Установить %1 мА  ").arg(number(trimPointHi)));
    ui->groupBox_trim->setTitle(tr("Подстройка тока %1-%2 мА").arg(number(trimPointLo), number(trimPointHi)));
}

void TabHartUCurrentOutput::read(bool showMessages)
{
    poller->stop();
    if (!g_device->checkHartConnection(showMessages))
        return;
    resetPresets();
    g_device->startHartAlgorithm(AlgorithmReadCurrentOutput, true, 0);
}

void TabHartUCurrentOutput::onOutputTypeRead(const HartDeviceData& data)
{
    if (qint8(data.currentOutputType) != lastOutputType) {
        if (data.currentOutputType == 1 || data.currentOutputType == 3) {
            setCurrentPresets();
        } else {
            presetsAllowed = false;
            ui->label_warn_only_5_20->show();
        }
        updateTrimTexts();
        resetTrimElement();
        lastOutputType = qint8(data.currentOutputType);
    }
    enableForAddress(data);
}

void TabHartUCurrentOutput::enableForAddress(const HartDeviceData& data)
{
    const bool addressZero = data.pollingAddressByte == PollingAddressZero;
    ui->label_deviceInMultidropMode->setVisible(!addressZero);
    setEnabled(addressZero && presetsAllowed);
}

// A refused value changes nothing: the current set before stays measured. The check of the
// transmitter may need the port, which the poller holds until it stops.
void TabHartUCurrentOutput::setFixedCurrent()
{
    float current = 0.0f;
    if (!selectedCurrent(current))
        return;
    poller->stop();
    if (g_device->checkHartConnection(true))
        startFixedCurrent(current);
}

bool TabHartUCurrentOutput::selectedCurrent(float& current)
{
    for (size_t i = 0; i < presetButtons.size(); ++i) {
        if (presetButtons[i]->isChecked()) {
            current = presetCurrents[i];
            return true;
        }
    }
    if (!ui->radioButton_another->isChecked())
        return refuse(nullptr, tr("Заначение тока не выбрано!"));
    if (!parseCurrent(ui->lineEdit_staticValue->text(), current))
        return refuse(ui->lineEdit_staticValue, g_msgWrongFieldData);
    if (current < otherCurrentMin || current > otherCurrentMax)
        return refuse(nullptr, tr("Значение выходит за пределы диапазона."));
    return true;
}

void TabHartUCurrentOutput::startFixedCurrent(float current)
{
    requestedCurrent = current;
    g_device->hartEditedData()->fixedCurrent = current;
    if (!g_device->startHartAlgorithm(AlgorithmFixedCurrent, true, 0))
        resetTrimElement();
}

void TabHartUCurrentOutput::unsetFixedCurrent()
{
    poller->stop();
    if (!g_device->checkHartConnection(true))
        return;
    clearPresetSelection();
    startFixedCurrent(0.0f);
}

// Exclusive radio buttons refuse to be unchecked one by one.
void TabHartUCurrentOutput::clearPresetSelection()
{
    std::array<QRadioButton*, 8> all{};
    std::copy(presetButtons.begin(), presetButtons.end(), all.begin());
    all.back() = ui->radioButton_another;
    for (QRadioButton* button : all) {
        button->setAutoExclusive(false);
        button->setChecked(false);
        button->setAutoExclusive(true);
    }
}

// A refused or unanswered operation 17 leaves the transmitter's current unknown: nothing is
// measured and an armed row goes back to idle.
void TabHartUCurrentOutput::getAlgoritmFinished(int algorithm, bool succeeded)
{
    if (algorithm == AlgorithmFixedCurrent) {
        if (!succeeded)
            resetTrimElement();
        else if (requestedCurrent != 0.0f)
            poller->start();
    } else if (algorithm == AlgorithmTrimCurrentLo || algorithm == AlgorithmTrimCurrentHi) {
        resetTrimElement();
    }
}

void TabHartUCurrentOutput::pollCurrent()
{
    QByteArray reply;
    float current = 0.0f;
    if (!g_device->readValuesTo(reply, ValueLoopCurrent) || !parseCurrent(QString::fromLatin1(reply), current)) {
        poller->requestStop();
        return;
    }
    measuredCurrent = current;
    measuredCurrentValid = true;
    QMetaObject::invokeMethod(
        this,
        [this, current] {
            ui->widget_zfnCurrent->setVisible(true);
            ui->label_zfnCurrent->setText(number(current));
        },
        Qt::QueuedConnection);
}

void TabHartUCurrentOutput::stopPollCurrent()
{
    measuredCurrentValid = false;
    QMetaObject::invokeMethod(this, [this] { ui->widget_zfnCurrent->hide(); }, Qt::QueuedConnection);
}

void TabHartUCurrentOutput::resetTrimElement()
{
    poller->stop();
    ui->groupBox_fixedCurrentMode->setEnabled(true);
    ui->groupBox_trim->setEnabled(true);
    for (const TrimRow& row : {lowRow(), highRow()}) {
        row.value->setEnabled(false);
        row.set->setEnabled(true);
        row.set->show();
        row.fromCalibrator->setEnabled(false);
        row.trim->setEnabled(false);
        row.stop->hide();
    }
}

TabHartUCurrentOutput::TrimRow TabHartUCurrentOutput::lowRow() const
{
    return {ui->pushButton_setFixedLow, ui->pushButton_stopTrimLo,  ui->lineEdit_valueLow,
            ui->pushButton_setZfnValLo, ui->pushButton_trimLo,      ui->pushButton_setFixedHi};
}

TabHartUCurrentOutput::TrimRow TabHartUCurrentOutput::highRow() const
{
    return {ui->pushButton_setFixedHi, ui->pushButton_stopTrimHi, ui->lineEdit_valueHi,
            ui->pushButton_setZfnValHi, ui->pushButton_trimHi,    ui->pushButton_setFixedLow};
}

void TabHartUCurrentOutput::startTrimLo()
{
    startTrim(lowRow(), trimPointLo);
}

void TabHartUCurrentOutput::startTrimHi()
{
    startTrim(highRow(), trimPointHi);
}

void TabHartUCurrentOutput::startTrim(const TrimRow& row, float point)
{
    poller->stop();
    if (!g_device->checkHartConnection(true)) {
        resetTrimElement();
        return;
    }
    requestedCurrent = point;
    g_device->hartEditedData()->fixedCurrent = point;
    resetTrimElement();
    if (!g_device->startHartAlgorithm(AlgorithmFixedCurrent, true, 0))
        return;
    row.stop->setFixedSize(ui->pushButton_setFixedLow->size());
    row.stop->show();
    row.set->hide();
    row.otherSet->setEnabled(false);
    row.value->setEnabled(true);
    row.value->clear();
    row.fromCalibrator->setEnabled(true);
    row.trim->setEnabled(true);
    ui->groupBox_fixedCurrentMode->setEnabled(false);
}

void TabHartUCurrentOutput::setZfnValLo()
{
    insertMeasured(ui->lineEdit_valueLow);
}

void TabHartUCurrentOutput::setZfnValHi()
{
    insertMeasured(ui->lineEdit_valueHi);
}

// Only a value of the poll now running: an old one would trim against a current no longer there.
void TabHartUCurrentOutput::insertMeasured(QLineEdit* field)
{
    if (measuredCurrentValid && poller->isRunning())
        field->setText(number(measuredCurrent));
}

void TabHartUCurrentOutput::trimLo()
{
    trim(ui->lineEdit_valueLow, true);
}

void TabHartUCurrentOutput::trimHi()
{
    trim(ui->lineEdit_valueHi, false);
}

// As with a fixed current, a refused value leaves the armed row measuring.
void TabHartUCurrentOutput::trim(QLineEdit* field, bool low)
{
    float current = 0.0f;
    if (!parseCurrent(field->text(), current)) {
        refuse(field, g_msgWrongFieldData);
        return;
    }
    if (current < TrimCurrentMin || current > TrimCurrentMax) {
        refuse(nullptr, tr("Значение выходит за пределы диапазона."));
        return;
    }
    poller->stop();
    if (!g_device->checkHartConnection(true))
        return;
    HartDeviceData& staged = *g_device->hartEditedData();
    (low ? staged.trimCurrentLow : staged.trimCurrentHigh) = current;
    readTrimValues(staged);
    g_device->startHartAlgorithm(low ? AlgorithmTrimCurrentLo : AlgorithmTrimCurrentHi, true, 0);
}

// Both measured currents, for a transmitter that is trimmed through its output coefficients.
void TabHartUCurrentOutput::readTrimValues(HartDeviceData& staged)
{
    float low = 0.0f;
    float high = 0.0f;
    staged.measuredCurrentValid = parseCurrent(ui->lineEdit_valueHi->text(), high)
                                  && parseCurrent(ui->lineEdit_valueLow->text(), low);
    staged.measuredCurrentLow = low;
    staged.measuredCurrentHigh = high;
}

bool TabHartUCurrentOutput::refuse(QWidget* field, const QString& message)
{
    if (field)
        field->setFocus(Qt::OtherFocusReason);
    g_device->showPopUpMessage(message);
    return false;
}

void TabHartUCurrentOutput::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (algorithmConnection)
        return;
    algorithmConnection = connect(g_device, &DeviceZFN::sendAlgoritmFinished, this,
                                  &TabHartUCurrentOutput::getAlgoritmFinished);
    stopPollsConnection = connect(g_device, &DeviceZFN::stopAllExternalPolls, poller, &ParametrPoller::stop,
                                  Qt::DirectConnection);
}

// The transmitter stays at whatever current it was given; only the display stops.
void TabHartUCurrentOutput::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    ui->lineEdit_valueLow->clear();
    ui->lineEdit_valueHi->clear();
    poller->stop();
    disconnect(algorithmConnection);
    disconnect(stopPollsConnection);
}
