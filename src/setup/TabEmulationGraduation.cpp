#include "TabEmulationGraduation.h"

#include "CalibratorMap.h"
#include "DeviceZFN.h"
#include "DirectExchange.h"
#include "DoubleValidator.h"
#include "IconSet.h"
#include "ui_TabEmulationGraduation.h"

#include <QPushButton>
#include <cmath>
#include <limits>

using namespace CalibratorMap;

namespace {

// The calibrator keeps these registers in single precision, so the number is rounded to a float
// before the range test, as the calibrator will hold it.
std::optional<double> singlePrecision(std::optional<double> value)
{
    if (!value || std::fabs(*value) > double(std::numeric_limits<float>::max()))
        return std::nullopt;
    return double(float(*value));
}

}  // namespace

TabEmulationGraduation::TabEmulationGraduation(QWidget* parent) : QWidget(parent), ui(new Ui_TabEmulationGraduation)
{
    ui->setupUi(this);
    auto* validator = new DoubleValidator(this);
    for (QLineEdit* edit : {ui->lineEdit_minValue, ui->lineEdit_maxValue, ui->lineEdit_crrentValue,
                            ui->lineEdit_crrentShiftValue})
        edit->setValidator(validator);
    makeConnections();
    for (QPushButton* button :
         {ui->pushButton_setMinCurrentValue, ui->pushButton_setMaxCurrentValue, ui->pushButton_setCurrentValue})
        button->setIcon(g_icon_symbol_current);
    for (QPushButton* button : {ui->pushButton_readMinValue, ui->pushButton_readMaxValue, ui->pushButton_readShiftValue})
        button->setIcon(g_icon_arrow_up_green);
    for (QPushButton* button :
         {ui->pushButton_writeMinValue, ui->pushButton_writeMaxValue, ui->pushButton_writeShiftValue})
        button->setIcon(g_icon_arrow_down_red);
}

TabEmulationGraduation::~TabEmulationGraduation()
{
    delete ui;
}

void TabEmulationGraduation::makeConnections()
{
    connect(ui->pushButton_setMinCurrentValue, &QPushButton::clicked, this, &TabEmulationGraduation::setMinimumValue);
    connect(ui->pushButton_setMaxCurrentValue, &QPushButton::clicked, this, &TabEmulationGraduation::setMaximumValue);
    connect(ui->pushButton_readMinValue, &QPushButton::clicked, this, &TabEmulationGraduation::readMinimumValue);
    connect(ui->pushButton_readMaxValue, &QPushButton::clicked, this, &TabEmulationGraduation::readMaximumValue);
    connect(ui->pushButton_writeMinValue, &QPushButton::clicked, this, &TabEmulationGraduation::writeMinimumValue);
    connect(ui->pushButton_writeMaxValue, &QPushButton::clicked, this, &TabEmulationGraduation::writeMaximumValue);
    connect(ui->pushButton_readShiftValue, &QPushButton::clicked, this, &TabEmulationGraduation::readShiftValue);
    connect(ui->pushButton_writeShiftValue, &QPushButton::clicked, this, &TabEmulationGraduation::writeShiftValue);
    connect(ui->pushButton_setCurrentValue, &QPushButton::clicked, this, &TabEmulationGraduation::writeCurrentValue);
}

void TabEmulationGraduation::setEditable(bool editable)
{
    for (QPushButton* button :
         {ui->pushButton_writeMinValue, ui->pushButton_writeMaxValue, ui->pushButton_writeShiftValue})
        button->setEnabled(editable);
}

void TabEmulationGraduation::setMinimumValue()
{
    setSetPoint(RegOutputSetPointFirst);
}

void TabEmulationGraduation::setMaximumValue()
{
    setSetPoint(RegOutputSetPointFirst + 1);
}

void TabEmulationGraduation::writeCurrentValue()
{
    writeFrom(ui->lineEdit_crrentValue, RegOutputSetPointLast, RegTypeByte, 30.0,
              tr("Значение вне допустимого диапазона [0.0, 30.0] !"));
}

void TabEmulationGraduation::readMinimumValue()
{
    readInto(RegOutputMin, ui->lineEdit_minValue);
}

void TabEmulationGraduation::readMaximumValue()
{
    readInto(RegOutputMax, ui->lineEdit_maxValue);
}

void TabEmulationGraduation::readShiftValue()
{
    readInto(RegOutputShift, ui->lineEdit_crrentShiftValue);
}

void TabEmulationGraduation::writeMinimumValue()
{
    writeFrom(ui->lineEdit_minValue, RegOutputMin, RegTypeFloat, 30.0,
              tr("Значение вне допустимого диапазона [0.0, 30.0] !"));
}

void TabEmulationGraduation::writeMaximumValue()
{
    writeFrom(ui->lineEdit_maxValue, RegOutputMax, RegTypeFloat, 35.0,
              tr("Значение вне допустимого диапазона [0.0, 35.0] !"));
}

void TabEmulationGraduation::writeShiftValue()
{
    writeFrom(ui->lineEdit_crrentShiftValue, RegOutputShift, RegTypeFloat, 25.0,
              tr("Значение вне допустимого диапазона [0.0, 25.0] !"));
}

// The two ends of the output range are set by writing zero to their set point.
void TabEmulationGraduation::setSetPoint(int reg)
{
    if (g_device->readyToStart())
        DirectExchange::writeNumber({reg, RegTypeByte, 0.0, 0.0, QString()}, 0.0);
}

void TabEmulationGraduation::readInto(int reg, QLineEdit* edit)
{
    if (!g_device->readyToStart())
        return;
    const std::optional<double> value = DirectExchange::readCalibrationRegister(reg);
    if (value)
        edit->setText(QString::number(*value, 'g', 6));
    else
        g_device->showPopUpMessage(tr("Ошибка чтения!"));
}

void TabEmulationGraduation::writeFrom(QLineEdit* edit, int reg, int type, double high, const QString& rangeMessage)
{
    if (g_device->readyToStart())
        DirectExchange::writeNumber({reg, type, 0.0, high, rangeMessage},
                                    singlePrecision(DoubleValidator::number(edit->text())));
}
