#include "PressureUnits.h"

#include "TextDiscription.h"

#include <array>
#include <limits>

namespace {

// The workstation's own factors. Two of them (mm Hg, psi) differ in the last digits from other
// published values; they stay as they are so that protocol numbers do not change.
constexpr std::array<double, PressureUnits::unitCount> kpaFactors = {
    0.001,        // Па
    1.0,          // кПа
    1000.0,       // МПа
    98.0665,      // кг/см2
    0.00980665,   // кг/м2
    0.133321995,  // мм рт.ст.
    0.00980665,   // мм вод.ст.
    0.1,          // мбар
    100.0,        // бар
    101.325,      // АТМ
    6.894758896,  // psi
};

struct HartUnit
{
    quint8 code;
    int unit;
};

constexpr std::array<HartUnit, 11> hartUnits = {{
    {11, 0}, {12, 1}, {237, 2}, {10, 3}, {176, 4}, {5, 5}, {239, 6}, {8, 7}, {7, 8}, {14, 9}, {6, 10},
}};

}  // namespace

double PressureUnits::kpaPerUnit(int unit)
{
    if (unit < 0 || unit >= unitCount)
        return std::numeric_limits<double>::quiet_NaN();
    return kpaFactors[size_t(unit)];
}

int PressureUnits::unitFromHartCode(quint8 hartCode)
{
    for (const HartUnit& entry : hartUnits) {
        if (entry.code == hartCode)
            return entry.unit;
    }
    return -1;
}

double PressureUnits::toKpa(double value, quint8 unit)
{
    return value * kpaPerUnit(unit);
}

double PressureUnits::fromKpa(quint8 unit, double value)
{
    return value / kpaPerUnit(unit);
}

double PressureUnits::convert(quint8 from, quint8 to, double value)
{
    return value * kpaPerUnit(from) / kpaPerUnit(to);
}

double PressureUnits::convertFromHart(quint8 hartCode, quint8 unit, double value)
{
    return value * kpaPerUnit(unitFromHartCode(hartCode)) / kpaPerUnit(unit);
}

double PressureUnits::convertHart(quint8 hartFrom, quint8 hartTo, double value)
{
    return value * kpaPerUnit(unitFromHartCode(hartFrom)) / kpaPerUnit(unitFromHartCode(hartTo));
}

double PressureUnits::convert(quint8 from, quint8 to, float value)
{
    return convert(from, to, widenFloat(value));
}

double PressureUnits::convertFromHart(quint8 hartCode, quint8 unit, float value)
{
    return convertFromHart(hartCode, unit, widenFloat(value));
}

float PressureUnits::toKpaFloat(double value, quint8 unit)
{
    return float(toKpa(value, unit));
}

float PressureUnits::toKpaFloat(float value, quint8 unit)
{
    return toKpaFloat(widenFloat(value), unit);
}

double PressureUnits::fromKpaFloat(quint8 unit, float kpa)
{
    return fromKpa(unit, widenFloat(kpa));
}
