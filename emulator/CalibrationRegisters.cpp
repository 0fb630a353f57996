#include "CalibrationRegisters.h"

#include "CalibratorMap.h"
#include "CalibratorMemory.h"

#include <QRegularExpression>

using namespace CalibratorMap;

namespace {

constexpr int largestSerialNumber = 32767;

bool isCalibrationRegister(int reg, int type)
{
    const bool graduation = reg == RegOutputMin || reg == RegOutputMax || reg == RegOutputShift
                            || reg == RegInputCoefficient;
    const bool setPoint = reg >= RegOutputSetPointFirst && reg <= RegOutputSetPointLast;
    return (graduation && type == RegTypeFloat) || (setPoint && type == RegTypeByte);
}

bool isPlainDecimal(const QByteArray& data)
{
    static const QRegularExpression decimal(QStringLiteral("^-?[0-9]+(\\.[0-9]+)?$"));
    return decimal.match(QString::fromLatin1(data)).hasMatch();
}

bool isSerialNumber(const QByteArray& data)
{
    static const QRegularExpression digits(QStringLiteral("^[0-9]{1,5}$"));
    return digits.match(QString::fromLatin1(data)).hasMatch() && data.toInt() <= largestSerialNumber;
}

}  // namespace

void CalibrationRegisters::preset(CalibratorMemory& memory)
{
    memory.setRegister(RegOutputMin, RegTypeFloat, "3.9875");
    memory.setRegister(RegOutputMax, RegTypeFloat, "20.0125");
    memory.setRegister(RegOutputShift, RegTypeFloat, "0.0021");
    memory.setRegister(RegInputCoefficient, RegTypeFloat, "101.25");
}

bool CalibrationRegisters::isWellFormed(int reg, int type, const QByteArray& data)
{
    if (reg == RegSerialNumber && type == RegTypeFloat)
        return isSerialNumber(data);
    return !isCalibrationRegister(reg, type) || isPlainDecimal(data);
}
