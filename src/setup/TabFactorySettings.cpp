#include "TabFactorySettings.h"

#include "CalibratorMap.h"
#include "DeviceZFN.h"
#include "DirectExchange.h"
#include "IconSet.h"
#include "ui_TabFactorySettings.h"

using namespace CalibratorMap;

namespace {
constexpr int serialNumberCount = 2;
constexpr int largestSerialNumber = 32767;
}  // namespace

TabFactorySettings::TabFactorySettings(QWidget* parent) : QWidget(parent), ui(new Ui_TabFactorySettings)
{
    ui->setupUi(this);
    ui->pushButton_standart->hide();
    connect(ui->pushButton_read, &QPushButton::clicked, this, &TabFactorySettings::readFactorySettings);
    connect(ui->pushButton_write, &QPushButton::clicked, this, &TabFactorySettings::writeFactorySettings);
    ui->pushButton_read->setIcon(g_icon_arrow_up_green);
    ui->pushButton_write->setIcon(g_icon_arrow_down_red);
}

TabFactorySettings::~TabFactorySettings()
{
    delete ui;
}

void TabFactorySettings::readFactorySettings()
{
    if (!g_device->readyToStart())
        return;
    QByteArray data;
    bool ok = false;
    int number = 0;
    if (DirectExchange::readRegister(RegSerialNumber, RegTypeFloat, serialNumberCount, &data))
        number = data.toInt(&ok, 10);
    if (ok)
        ui->lineEdit_factoryNum->setText(QString::number(number));
    else
        g_device->showPopUpMessage(tr("При чтении параметров произошла ошибка"));
}

void TabFactorySettings::writeFactorySettings()
{
    if (!g_device->readyToStart())
        return;
    bool ok = false;
    const int number = ui->lineEdit_factoryNum->text().toInt(&ok, 10);
    if (!ok || number < 0 || number > largestSerialNumber) {
        g_device->showPopUpMessage(tr("Заводской номер введен некорректно!"));
        return;
    }
    if (DirectExchange::write(RegSerialNumber, RegTypeFloat, serialNumberCount, QByteArray::number(number)))
        readFactorySettings();
    else
        g_device->showPopUpMessage(tr("Ошибка записи!"));
}
