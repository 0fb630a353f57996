#include "TabMeasurementGraduation.h"

#include "CalibratorMap.h"
#include "DeviceZFN.h"
#include "DirectExchange.h"
#include "DoubleValidator.h"
#include "IconSet.h"
#include "ui_TabMeasurementGraduation.h"

#include <cmath>

using namespace CalibratorMap;

namespace {
constexpr double referenceLimit = 30.0;
}  // namespace

TabMeasurementGraduation::TabMeasurementGraduation(QWidget* parent)
    : QWidget(parent), ui(new Ui_TabMeasurementGraduation)
{
    ui->setupUi(this);
    auto* validator = new DoubleValidator(this);
    ui->lineEdit_etalonCurrent->setValidator(validator);
    ui->lineEdit_coefficientComputed->setValidator(validator);
    connect(ui->pushButton_readData, &QPushButton::clicked, this, &TabMeasurementGraduation::readData);
    connect(ui->pushButton_writeData, &QPushButton::clicked, this, &TabMeasurementGraduation::writeData);
    connect(ui->lineEdit_etalonCurrent, &QLineEdit::textChanged, this,
            qOverload<QString>(&TabMeasurementGraduation::computeCoefficient));
    ui->pushButton_readData->setIcon(g_icon_arrow_up_green);
    ui->pushButton_writeData->setIcon(g_icon_arrow_down_red);
}

TabMeasurementGraduation::~TabMeasurementGraduation()
{
    delete ui;
}

void TabMeasurementGraduation::setEditable(bool editable)
{
    ui->pushButton_writeData->setEnabled(editable);
}

void TabMeasurementGraduation::writeData()
{
    if (g_device->readyToStart())
        DirectExchange::writeNumber({RegInputCoefficient, RegTypeFloat, 1.0, 500.0,
                                     tr("Значение вне допустимого диапазона [1.0, 500.0] !")},
                                    DoubleValidator::number(ui->lineEdit_coefficientComputed->text()));
}

void TabMeasurementGraduation::readData()
{
    if (!g_device->readyToStart())
        return;
    const std::optional<double> coefficient = DirectExchange::readCalibrationRegister(RegInputCoefficient);
    if (!coefficient) {
        g_device->showPopUpMessage(tr("Ошибка чтения!"));
        return;
    }
    ui->lineEdit_coefficientReaded->setText(QString::number(*coefficient, 'f', 6));
    const std::optional<double> current = DirectExchange::readMeasuredValue(ValueLoopCurrent);
    if (!current) {
        g_device->showPopUpMessage(tr("Ошибка чтения!"));
        return;
    }
    ui->lineEdit_valueReaded->setText(QString::number(*current, 'f', 6));
    computeCoefficient();
}

void TabMeasurementGraduation::computeCoefficient(QString)
{
    computeCoefficient();
}

// Without three complete numbers and a reference current other than zero there is no result, and
// the field is cleared, so that a coefficient computed from older inputs cannot be written.
void TabMeasurementGraduation::computeCoefficient()
{
    const std::optional<double> reference = DoubleValidator::number(ui->lineEdit_etalonCurrent->text());
    const std::optional<double> measured = DoubleValidator::number(ui->lineEdit_valueReaded->text());
    const std::optional<double> coefficient = DoubleValidator::number(ui->lineEdit_coefficientReaded->text());
    if (!reference || !measured || !coefficient) {
        ui->lineEdit_coefficientComputed->clear();
        return;
    }
    if (*reference < 0.0 || *reference > referenceLimit) {
        g_device->showPopUpMessage(tr("Значение выходит за рамки диапазона [0.0, 30.0]!"));
        ui->lineEdit_etalonCurrent->setText(QStringLiteral("0.0"));
        return;
    }
    const double result = *coefficient * *measured / *reference;
    if (*reference == 0.0 || !std::isfinite(result))
        ui->lineEdit_coefficientComputed->clear();
    else
        ui->lineEdit_coefficientComputed->setText(QString::number(result, 'f', 6));
}
