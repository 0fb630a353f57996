#include "DirectExchange.h"

#include "CalibratorMap.h"
#include "DeviceZFN.h"

#include <QCoreApplication>
#include <cmath>

namespace {
// The calibration registers are read and written three words at a time.
constexpr int calibrationCount = 3;
}  // namespace

bool DirectExchange::send(int reg, int type, int count, const QByteArray& data, QByteArray* reply)
{
    return g_device->writeRegisters(*reply, reg, type, count, data);
}

bool DirectExchange::write(int reg, int type, int count, const QByteArray& data)
{
    QByteArray reply;
    return send(reg, type, count, data, &reply) && reply == "$0";
}

bool DirectExchange::takeData(bool exchanged, const QByteArray& reply, QByteArray* data)
{
    if (!exchanged || reply.isEmpty() || reply.startsWith('$'))
        return false;
    *data = reply;
    return true;
}

bool DirectExchange::readRegister(int reg, int type, int count, QByteArray* data)
{
    QByteArray reply;
    const bool exchanged = g_device->readRegisters(reply, reg, type, count);
    return takeData(exchanged, reply, data);
}

bool DirectExchange::readValue(int number, QByteArray* data)
{
    QByteArray reply;
    const bool exchanged = g_device->readValuesTo(reply, number);
    return takeData(exchanged, reply, data);
}

std::optional<double> DirectExchange::calibrationNumber(bool read, const QByteArray& data)
{
    bool ok = false;
    const double number = data.toDouble(&ok);
    if (!read || data.size() < 2 || !ok || !std::isfinite(number))
        return std::nullopt;
    return number;
}

std::optional<double> DirectExchange::readCalibrationRegister(int reg)
{
    QByteArray data;
    const bool read = readRegister(reg, CalibratorMap::RegTypeFloat, calibrationCount, &data);
    return calibrationNumber(read, data);
}

std::optional<double> DirectExchange::readMeasuredValue(int number)
{
    QByteArray data;
    const bool read = readValue(number, &data);
    return calibrationNumber(read, data);
}

void DirectExchange::writeNumber(const Target& target, std::optional<double> value)
{
    if (!value || !(*value >= target.low && *value <= target.high)) {
        g_device->showPopUpMessage(target.rangeMessage);
        return;
    }
    if (!write(target.reg, target.type, calibrationCount, QByteArray::number(*value, 'f', 6)))
        g_device->showPopUpMessage(QCoreApplication::translate("DirectExchange", "Ошибка записи!"));
}
