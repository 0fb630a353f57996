#include "HartWrite.h"

#include "DeviceZFN.h"
#include "HartDeviceData.h"

#include <QCoreApplication>

void HartWrite::start(int algorithm, const HartDeviceData& staged, int mask)
{
    if (mask == 0) {
        g_device->showPopUpMessage(
            QCoreApplication::translate("HartWrite", "Конфигурация устройства не была изменена!"));
        return;
    }
    *g_device->hartEditedData() = staged;
    g_device->startHartAlgorithm(algorithm, false, mask);
}
