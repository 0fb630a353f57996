#include "TabHartSpecific.h"

#include "DeviceSettings.h"
#include "DeviceZFN.h"
#include "DoubleValidator.h"
#include "HartChangeMask.h"
#include "HartDeviceData.h"
#include "HartDeviceTypeNames.h"
#include "HartTextTables.h"
#include "HartWrite.h"
#include "IconSet.h"
#include "ParametrPoller.h"
#include "PressureUnits.h"
#include "TextDiscription.h"
#include "ui_TabHartSpecific.h"

#include <QMutexLocker>
#include <QtEndian>
#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

constexpr int AlgorithmReadSpecific = 9;
constexpr int AlgorithmWriteSpecific = 10;
constexpr int AlgorithmFactorySettings = 11;
constexpr int AlgorithmReadTrim = 12;
constexpr int AlgorithmClearTrim = 13;
constexpr int AlgorithmTrimPoint = 14;
constexpr int ValueReferencePressure = 1;
constexpr int PasswordDigits = 4;
constexpr int WidthSlack = 30;

void fillCombo(QComboBox* combo, const HartTextTable& table)
{
    for (const HartTextEntry& entry : table)
        combo->addItem(entry.text, int(entry.code));
}

bool sameBits(float a, float b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

bool parseNumber(const QString& text, float& value)
{
    bool ok = false;
    value = text.toFloat(&ok);
    return ok && std::isfinite(value);
}

QString number(double value)
{
    return QString::number(value, 'g', 6);
}

}  // namespace

TabHartSpecific::TabHartSpecific(QWidget* parent)
    : QWidget(parent), ui(new Ui_TabHartSpecific), poller(new ParametrPoller(this))
{
    ui->setupUi(this);
    poller->connectPollSignal(this, &TabHartSpecific::pollPreashure);
    poller->connectStopedSignal(this, &TabHartSpecific::stopPollPreashure);
    ui->label_zfnPvalue->clear();
    ui->pushButton_setZfnValue->setEnabled(false);
    connect(ui->pushButton_setZfnValue, &QPushButton::clicked, this, &TabHartSpecific::setCurrentZfnPresure);
    connect(ui->pushButton_readParametrs, &QPushButton::clicked, this,
            static_cast<void (TabHartSpecific::*)()>(&TabHartSpecific::read));
    connect(ui->pushButton_writeParametrs, &QPushButton::clicked, this, &TabHartSpecific::write);
    connect(ui->pushButton_restoreParametrs, &QPushButton::clicked, this, &TabHartSpecific::setFactorySettings);
    connect(ui->pushButton_trimByTwoPoints, &QPushButton::clicked, this, &TabHartSpecific::onTrimButton);
    connect(ui->pushButton_trimStop, &QPushButton::clicked, this, &TabHartSpecific::stopTrimByTwoPoints);
    connect(ui->pushButton_trimClear, &QPushButton::clicked, this, &TabHartSpecific::clearTrimByTwoPoints);
    initUi();
    resetFields();
    ui->pushButton_readParametrs->setIcon(g_icon_arrow_up_green);
    ui->pushButton_writeParametrs->setIcon(g_icon_arrow_down_red);
    ui->pushButton_restoreParametrs->setIcon(g_icon_symbol_current);
    ui->pushButton_trimByTwoPoints->setIcon(g_icon_symbol_start);
    ui->pushButton_trimStop->setIcon(g_icon_symbol_stop);
    setupFieldWidths();
}

TabHartSpecific::~TabHartSpecific()
{
    poller->stop();
    delete ui;
}

void TabHartSpecific::initUi()
{
    fillCombo(ui->comboBox_cuttentOutputType, g_hartCurrentOutputTypes);
    fillCombo(ui->comboBox_currentErrorLevel, g_hartAlarmLevels);
    fillCombo(ui->comboBox_nullPaswordByGercon, g_hartPermission);
    fillCombo(ui->comboBox_nullPaswordByButton, g_hartPermission);
    fillCombo(ui->comboBox_indicationMode, g_hartDisplayModes);
    fillCombo(ui->comboBox_writeProtection, g_hartOnOff);
    ui->comboBox_linearisationEdge->addItems({"0", "0.5", "1", "2", "3"});
    ui->comboBox_cutoffEgde->addItems({"0", "0.25", "1", "2.25", "4"});
    ui->comboBox_numAfterPoint->addItems({"0", "1", "2", "3"});
    auto* validator = new DoubleValidator(this);
    for (QLineEdit* field : {ui->lineEdit_currentErrorValueLo, ui->lineEdit_currentErrorValueHi,
                             ui->lineEdit_scaleShiftCurrent, ui->lineEdit_gysteresisWidth, ui->lineEdit_scaleShiftP,
                             ui->lineEdit_trimLow, ui->lineEdit_trimHi})
        field->setValidator(validator);
    ui->comboBox_writeProtection->hide();
    ui->label_text_writeProtection->hide();
}

void TabHartSpecific::setupFieldWidths()
{
    const int w1 = QFontMetrics(ui->label_text_currentErrorValueLo->font())
                       .horizontalAdvance(ui->label_text_currentErrorValueLo->text());
    const int w2 = QFontMetrics(ui->lineEdit_currentErrorValueLo->font()).horizontalAdvance(QString(13, '0'));
    ui->label_text_currentErrorValueLo->setMinimumWidth(w1);
    ui->lineEdit_currentErrorValueLo->setMinimumWidth(w2);
    ui->groupBox_outputSingnal->setFixedWidth(w1 + w2 + WidthSlack);
    ui->groupBox_trimByTwoPoints->setFixedWidth(w1 + w2 + WidthSlack);
    const QFontMetrics metrics(ui->label_text_numAfterPoint->font());
    const QList<QWidget*> groups{ui->groupBox_indicationParametrs, ui->groupBox_squareDependence,
                                 ui->groupBox_protection};
    // Never narrower than a group's rows need, so no caption is cut beside a wide field.
    int width = metrics.horizontalAdvance(ui->label_text_numAfterPoint->text())
                + metrics.horizontalAdvance(QString(6, '0')) + WidthSlack;
    for (const QWidget* group : groups)
        width = std::max(width, group->minimumSizeHint().width());
    for (QWidget* group : groups)
        group->setFixedWidth(width);
}

void TabHartSpecific::resetFields()
{
    for (QComboBox* combo : {ui->comboBox_cuttentOutputType, ui->comboBox_currentErrorLevel,
                             ui->comboBox_linearisationEdge, ui->comboBox_cutoffEgde, ui->comboBox_numAfterPoint,
                             ui->comboBox_indicationMode, ui->comboBox_nullPaswordByGercon,
                             ui->comboBox_nullPaswordByButton, ui->comboBox_writeProtection})
        combo->setCurrentIndex(-1);
    for (QLineEdit* field : {ui->lineEdit_currentErrorValueLo, ui->lineEdit_currentErrorValueHi,
                             ui->lineEdit_scaleShiftCurrent, ui->lineEdit_gysteresisWidth, ui->lineEdit_password,
                             ui->lineEdit_scaleShiftP})
        field->clear();
    stopTrimByTwoPoints();
    ui->pushButton_writeParametrs->setEnabled(false);
}

void TabHartSpecific::applyDeviceVariant(quint16 typeKey)
{
    for (QWidget* widget : {static_cast<QWidget*>(ui->groupBox_scaleShiftP), static_cast<QWidget*>(ui->lineEdit_password),
                            static_cast<QWidget*>(ui->label_text_password),
                            static_cast<QWidget*>(ui->comboBox_indicationMode),
                            static_cast<QWidget*>(ui->label_text_indicationMode)})
        setWidgetActive(widget, true);
    ui->comboBox_writeProtection->hide();
    ui->label_text_writeProtection->hide();
    if (typeKey == hartTypeWriteProtection) {
        setWidgetActive(ui->groupBox_scaleShiftP, false);
        ui->comboBox_writeProtection->show();
        ui->label_text_writeProtection->show();
        setWidgetActive(ui->lineEdit_password, false);
        setWidgetActive(ui->label_text_password, false);
    } else if (typeKey == hartTypeNoPassword) {
        for (QWidget* widget : {static_cast<QWidget*>(ui->groupBox_scaleShiftP),
                                static_cast<QWidget*>(ui->lineEdit_password), static_cast<QWidget*>(ui->label_text_password),
                                static_cast<QWidget*>(ui->comboBox_indicationMode),
                                static_cast<QWidget*>(ui->label_text_indicationMode)})
            setWidgetActive(widget, false);
    }
}

// The page is off-screen while another sub-tab shows: visibility is asked of the page itself.
bool TabHartSpecific::isFieldActive(const QWidget* widget) const
{
    return widget->isEnabled() && widget->isVisibleTo(this);
}

void TabHartSpecific::setWidgetActive(QWidget* widget, bool active)
{
    widget->setEnabled(active);
    widget->setVisible(active);
}

void TabHartSpecific::showOutputSignal(const HartDeviceData& data)
{
    ui->groupBox_outputSingnal->setEnabled(data.cmd128Supported);
    if (!data.cmd128Supported)
        return;
    ui->comboBox_cuttentOutputType->setCurrentText(hartCurrentOutputTypeText(data.currentOutputType));
    ui->comboBox_currentErrorLevel->setCurrentText(hartCodeText(data.alarmLevel, g_hartAlarmLevels));
    ui->lineEdit_currentErrorValueLo->setText(floatToText(data.alarmCurrentLow));
    ui->lineEdit_currentErrorValueHi->setText(floatToText(data.alarmCurrentHigh));
}

void TabHartSpecific::showSquareRootSettings(const HartDeviceData& data)
{
    ui->groupBox_squareDependence->setEnabled(data.cmd130Supported);
    if (!data.cmd130Supported)
        return;
    ui->comboBox_linearisationEdge->setCurrentText(floatToText(data.sqrtLinearizationThreshold));
    ui->comboBox_cutoffEgde->setCurrentText(floatToText(data.sqrtCutoffThreshold));
    ui->lineEdit_gysteresisWidth->setText(floatToText(data.sqrtHysteresisWidth));
}

void TabHartSpecific::showIndication(const HartDeviceData& data)
{
    ui->groupBox_indicationParametrs->setEnabled(data.cmd132Supported);
    if (!data.cmd132Supported)
        return;
    ui->comboBox_numAfterPoint->setCurrentText(QString::number(data.displayDecimals));
    ui->comboBox_indicationMode->setCurrentText(hartCodeText(data.displayMode, g_hartDisplayModes));
}

void TabHartSpecific::showProtection(const HartDeviceData& data)
{
    setWidgetActive(ui->groupBox_protection, data.cmd134Supported);
    if (!data.cmd134Supported)
        return;
    if (ui->lineEdit_password->isVisibleTo(this))
        ui->lineEdit_password->setText(QStringLiteral("%1").arg(data.menuPassword, PasswordDigits, 10, QChar('0')));
    else if (ui->comboBox_writeProtection->isVisibleTo(this))
        ui->comboBox_writeProtection->setCurrentIndex(data.menuPassword != 0 ? 1 : 0);
    ui->comboBox_nullPaswordByGercon->setCurrentIndex(data.reedZeroing & 0x01);
    const bool buttonZeroing = data.deviceTypeKey == hartTypeButtonZeroing;
    ui->comboBox_nullPaswordByButton->setVisible(buttonZeroing);
    ui->label_text_nullPaswordByButton->setVisible(buttonZeroing);
    ui->comboBox_nullPaswordByButton->setCurrentIndex((data.reedZeroing >> 1) & 0x01);
}

void TabHartSpecific::showScaleShiftPressure(const HartDeviceData& data)
{
    ui->lineEdit_scaleShiftP->setEnabled(data.cmd145Supported);
    if (data.cmd145Supported)
        ui->lineEdit_scaleShiftP->setText(floatToText(data.scaleShiftA));
}

void TabHartSpecific::showScaleShiftCurrent(const HartDeviceData& data)
{
    ui->lineEdit_scaleShiftCurrent->setEnabled(data.cmd147Supported);
    if (data.cmd147Supported)
        ui->lineEdit_scaleShiftCurrent->setText(floatToText(data.scaleShiftB));
}

void TabHartSpecific::showScaleShiftUnit(const HartDeviceData& data)
{
    ui->label_text_scaleShiftMeasure->setText("(" + hartUnitText(data.pvUnit) + ")");
}

void TabHartSpecific::enableTrimGroup(bool enabled)
{
    setWidgetActive(ui->groupBox_trimByTwoPoints, enabled);
}

void TabHartSpecific::enableWriteButtons(const HartDeviceData& data)
{
    const bool any = data.cmd128Supported || data.cmd130Supported || data.cmd132Supported || data.cmd145Supported
                     || data.cmd134Supported || data.cmd147Supported;
    ui->pushButton_writeParametrs->setEnabled(any);
    ui->pushButton_restoreParametrs->setEnabled(any);
}

void TabHartSpecific::read(bool isMessageShowed)
{
    poller->stop();
    if (!g_device->checkHartConnection(isMessageShowed))
        return;
    resetFields();
    applyDeviceVariant(g_device->hartData()->deviceTypeKey);
    g_device->startHartAlgorithm(AlgorithmReadSpecific, true, 0);
}

void TabHartSpecific::read()
{
    read(true);
}

// Every group is checked before anything is staged; only groups the transmitter answered are
// taken, and changes are found against the last read.
void TabHartSpecific::write()
{
    poller->stop();
    if (!g_device->checkHartConnection(true))
        return;
    HartDeviceData staged = *g_device->hartData();
    int mask = 0;
    if (!stageEdits(staged, mask))
        return;
    HartWrite::start(AlgorithmWriteSpecific, staged, mask);
}

bool TabHartSpecific::stageEdits(HartDeviceData& staged, int& mask)
{
    const HartDeviceData& read = *g_device->hartData();
    if (!((!read.cmd128Supported || stageOutput(staged, mask)) && (!read.cmd130Supported || stageSquareRoot(staged, mask))
          && (!read.cmd132Supported || stageIndication(staged, mask))
          && (!read.cmd134Supported || stageProtection(staged, mask))))
        return false;
    float shift = staged.scaleShiftA;
    if (read.cmd145Supported && !stageScaleShift(ui->lineEdit_scaleShiftP, shift, HartChangeMask::ScaleShiftA, mask))
        return false;
    staged.scaleShiftA = shift;
    shift = staged.scaleShiftB;
    if (read.cmd147Supported
        && !stageScaleShift(ui->lineEdit_scaleShiftCurrent, shift, HartChangeMask::ScaleShiftB, mask))
        return false;
    staged.scaleShiftB = shift;
    return true;
}

bool TabHartSpecific::stageOutput(HartDeviceData& staged, int& mask)
{
    bool known = false;
    const quint8 type = hartCodeByText(ui->comboBox_cuttentOutputType->currentText(), g_hartCurrentOutputTypes, &known);
    if (!known)
        return refuse(ui->comboBox_cuttentOutputType);
    const quint8 level = hartCodeByText(ui->comboBox_currentErrorLevel->currentText(), g_hartAlarmLevels, &known);
    if (!known)
        return refuse(ui->comboBox_currentErrorLevel);
    float low = 0.0f;
    float high = 0.0f;
    if (!parseNumber(ui->lineEdit_currentErrorValueLo->text(), low))
        return refuse(ui->lineEdit_currentErrorValueLo);
    if (!parseNumber(ui->lineEdit_currentErrorValueHi->text(), high))
        return refuse(ui->lineEdit_currentErrorValueHi);
    if (type != staged.currentOutputType || level != staged.alarmLevel || !sameBits(low, staged.alarmCurrentLow)
        || !sameBits(high, staged.alarmCurrentHigh)) {
        staged.currentOutputType = type;
        staged.alarmLevel = level;
        staged.alarmCurrentLow = low;
        staged.alarmCurrentHigh = high;
        mask |= HartChangeMask::CurrentOutput;
    }
    return true;
}

bool TabHartSpecific::stageSquareRoot(HartDeviceData& staged, int& mask)
{
    float linearisation = 0.0f;
    float cutoff = 0.0f;
    float hysteresis = 0.0f;
    if (ui->comboBox_linearisationEdge->currentIndex() == -1
        || !parseNumber(ui->comboBox_linearisationEdge->currentText(), linearisation))
        return refuse(ui->comboBox_linearisationEdge);
    if (ui->comboBox_cutoffEgde->currentIndex() == -1 || !parseNumber(ui->comboBox_cutoffEgde->currentText(), cutoff))
        return refuse(ui->comboBox_cutoffEgde);
    if (!parseNumber(ui->lineEdit_gysteresisWidth->text(), hysteresis))
        return refuse(ui->lineEdit_gysteresisWidth);
    if (!sameBits(linearisation, staged.sqrtLinearizationThreshold) || !sameBits(cutoff, staged.sqrtCutoffThreshold)
        || !sameBits(hysteresis, staged.sqrtHysteresisWidth)) {
        staged.sqrtLinearizationThreshold = linearisation;
        staged.sqrtCutoffThreshold = cutoff;
        staged.sqrtHysteresisWidth = hysteresis;
        mask |= HartChangeMask::SqrtCharacteristic;
    }
    return true;
}

bool TabHartSpecific::stageIndication(HartDeviceData& staged, int& mask)
{
    bool ok = false;
    const int decimals = ui->comboBox_numAfterPoint->currentText().toInt(&ok);
    if (ui->comboBox_numAfterPoint->currentIndex() == -1 || !ok)
        return refuse(ui->comboBox_numAfterPoint);
    const quint8 mode = hartCodeByText(ui->comboBox_indicationMode->currentText(), g_hartDisplayModes, &ok);
    if (ui->comboBox_indicationMode->currentIndex() == -1 || !ok)
        return refuse(ui->comboBox_indicationMode);
    if (quint8(decimals) != staged.displayDecimals || mode != staged.displayMode) {
        staged.displayDecimals = quint8(decimals);
        staged.displayMode = mode;
        mask |= HartChangeMask::Display;
    }
    return true;
}

// A transmitter without a password keeps the one it reported.
bool TabHartSpecific::stageProtection(HartDeviceData& staged, int& mask)
{
    quint16 password = staged.menuPassword;
    if (isFieldActive(ui->lineEdit_password)) {
        const QString digits = ui->lineEdit_password->text().remove('-').remove(' ');
        bool ok = false;
        password = quint16(digits.toUInt(&ok));
        if (!ok || digits.size() != PasswordDigits)
            return refuse(ui->lineEdit_password);
    } else if (isFieldActive(ui->comboBox_writeProtection)) {
        if (ui->comboBox_writeProtection->currentIndex() == -1)
            return refuse(ui->comboBox_writeProtection);
        password = quint16(ui->comboBox_writeProtection->currentIndex());
    }
    quint8 zeroing = 0;
    for (QComboBox* combo : {ui->comboBox_nullPaswordByGercon, ui->comboBox_nullPaswordByButton}) {
        if (!isFieldActive(combo))
            continue;
        if (combo->currentIndex() == -1)
            return refuse(combo);
        zeroing |= quint8(combo->currentIndex() << (combo == ui->comboBox_nullPaswordByButton ? 1 : 0));
    }
    if (password != staged.menuPassword || zeroing != staged.reedZeroing) {
        staged.menuPassword = password;
        staged.reedZeroing = zeroing;
        mask |= HartChangeMask::Protection;
    }
    return true;
}

// Only an active field is taken; a value the transmitter reported as NaN counts as changed.
bool TabHartSpecific::stageScaleShift(QLineEdit* field, float& shift, int bit, int& mask)
{
    if (!isFieldActive(field))
        return true;
    float value = 0.0f;
    if (!parseNumber(field->text(), value))
        return refuse(field);
    if (!(value == shift)) {
        shift = value;
        mask |= bit;
    }
    return true;
}

bool TabHartSpecific::refuse(QWidget* field)
{
    field->setFocus(Qt::OtherFocusReason);
    g_device->showPopUpMessage(g_msgWrongFieldData);
    return false;
}

void TabHartSpecific::setFactorySettings()
{
    poller->stop();
    if (g_device->checkHartConnection(true))
        g_device->startHartAlgorithm(AlgorithmFactorySettings, true, 0);
}

void TabHartSpecific::onTrimButton()
{
    if (trimActive)
        nextTrimByTwoPoints();
    else
        readTrimByTwoPointsParametrs();
}

void TabHartSpecific::readTrimByTwoPointsParametrs()
{
    poller->stop();
    if (g_device->checkHartConnection(true))
        g_device->startHartAlgorithm(AlgorithmReadTrim, true, 0);
}

void TabHartSpecific::showTrimLimits(const HartDeviceData& data)
{
    const QString unit = hartUnitText(data.guideUnit);
    trimUnitIndex = PressureUnits::unitFromHartCode(data.guideUnit);
    ui->label_measure_trimLow->setText(unit);
    ui->label_measure_trimHi->setText(unit);
    ui->label_measure_zfnP->setText(unit);
    ui->label_trimMinimumDifferential->setText(number(widenFloat(data.guideMinDifferential)) + " " + unit);
    ui->label_measure_trimLowMin->setText(number(widenFloat(data.guideMinLower)));
    ui->label_measure_trimLowMax->setText(number(widenFloat(data.guideMaxLower)));
    ui->label_measure_trimHiMin->setText(number(widenFloat(data.guideMinUpper)));
    ui->label_measure_trimHiMax->setText(number(widenFloat(data.guideMaxUpper)));
}

void TabHartSpecific::beginTrimByTwoPoints(const HartDeviceData& data)
{
    trimStep = 0;
    trimActive = true;
    ui->pushButton_trimByTwoPoints->setText(tr("Далее"));
    ui->lineEdit_trimLow->setEnabled(true);
    ui->lineEdit_trimHi->setEnabled(true);
    ui->pushButton_trimStop->setEnabled(true);
    ui->lineEdit_trimLow->setText(number(widenFloat(data.trimPointLower)));
    ui->lineEdit_trimHi->setText(number(widenFloat(data.trimPointUpper)));
    g_device->showPopUpMessage(g_trimMsgLowPoint);
    ui->lineEdit_trimHi->setEnabled(false);
    poller->start();
}

// A point that does not parse is not sent: the transmitter would be trimmed to zero pressure.
void TabHartSpecific::nextTrimByTwoPoints()
{
    poller->stop();
    QLineEdit* field = trimStep == 0 ? ui->lineEdit_trimLow : ui->lineEdit_trimHi;
    float pressure = 0.0f;
    if (!parseNumber(field->text(), pressure)) {
        refuse(field);
        poller->start();
        return;
    }
    if (!g_device->checkHartConnection(true))
        return;
    quint8* request = g_device->hartEditedData()->trimRequest;
    request[0] = 0;
    request[1] = trimStep == 0 ? 1 : 2;
    request[2] = g_device->hartData()->guideUnit;
    qToBigEndian(pressure, request + 3);
    g_device->startHartAlgorithm(AlgorithmTrimPoint, true, 0);
}

void TabHartSpecific::onTrimPointWritten(const HartDeviceData& data)
{
    if (!trimActive || !DeviceZFN::hartResponseOk(data))
        return;
    ++trimStep;
    if (trimStep == 1) {
        g_device->showPopUpMessage(g_trimMsgHighPoint);
        ui->lineEdit_trimLow->setEnabled(false);
        ui->lineEdit_trimHi->setEnabled(true);
        poller->start();
    } else {
        // Ended before the box: the end of the operation, queued behind it, must not poll again.
        trimActive = false;
        g_device->showPopUpMessage(g_trimMsgDone);
        stopTrimByTwoPoints();
    }
}

void TabHartSpecific::getHartAlgoritmFinished(int algorithm)
{
    if (algorithm == AlgorithmTrimPoint && trimActive)
        poller->start();
}

void TabHartSpecific::stopTrimByTwoPoints()
{
    poller->stop();
    trimStep = 0;
    trimActive = false;
    ui->pushButton_trimByTwoPoints->setText(tr("Подстройка"));
    ui->lineEdit_trimHi->setEnabled(false);
    ui->lineEdit_trimLow->setEnabled(false);
    ui->pushButton_trimStop->setEnabled(false);
    for (QLabel* label : {ui->label_measure_trimHi, ui->label_measure_trimLow, ui->label_trimMinimumDifferential,
                          ui->label_measure_trimLowMin, ui->label_measure_trimLowMax, ui->label_measure_trimHiMin,
                          ui->label_measure_trimHiMax})
        label->clear();
}

void TabHartSpecific::clearTrimByTwoPoints()
{
    poller->stop();
    if (g_device->checkHartConnection(true))
        g_device->startHartAlgorithm(AlgorithmClearTrim, true, 0);
}

// The reference module's pressure in the unit the transmitter trims in; no value when either
// unit is unknown.
void TabHartSpecific::pollPreashure()
{
    QByteArray reply;
    float reference = 0.0f;
    if (!g_device->readValuesTo(reply, ValueReferencePressure) || !parseNumber(QString::fromLatin1(reply), reference)) {
        poller->requestStop();
        return;
    }
    int from = 0;
    {
        // The settings pages and workers write the block under the device mutex.
        QMutexLocker lock(g_device->mutex());
        from = g_device->deviceSettings()->etalonUnitIndex();
    }
    const int to = trimUnitIndex;
    const bool known = from >= 0 && from < PressureUnits::unitCount && to >= 0;
    const double pressure = known ? PressureUnits::convert(quint8(from), quint8(to), reference) : NAN;
    lastReferencePressure = pressure;
    referenceValid = std::isfinite(pressure);
    const QString text = referenceValid ? number(pressure) : QString();
    const bool valid = referenceValid;
    QMetaObject::invokeMethod(
        this,
        [this, text, valid] {
            ui->label_zfnPvalue->setText(text);
            ui->pushButton_setZfnValue->setEnabled(valid);
        },
        Qt::QueuedConnection);
}

void TabHartSpecific::stopPollPreashure()
{
    referenceValid = false;
    QMetaObject::invokeMethod(
        this,
        [this] {
            ui->label_zfnPvalue->clear();
            ui->pushButton_setZfnValue->setEnabled(false);
        },
        Qt::QueuedConnection);
}

// Only a value of the poll now running.
void TabHartSpecific::setCurrentZfnPresure()
{
    if (!referenceValid || !poller->isRunning())
        return;
    const QString text = doubleToText(lastReferencePressure);
    if (ui->lineEdit_trimLow->isEnabled())
        ui->lineEdit_trimLow->setText(text);
    else if (ui->lineEdit_trimHi->isEnabled())
        ui->lineEdit_trimHi->setText(text);
}

void TabHartSpecific::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!algorithmConnection)
        algorithmConnection = connect(g_device, &DeviceZFN::sendAlgoritmFinished, this,
                                      &TabHartSpecific::getHartAlgoritmFinished);
}

void TabHartSpecific::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    poller->stop();
    disconnect(algorithmConnection);
}
