#pragma once

#include <QtGlobal>

// Pressures in the program's eleven units (index = position in TextDiscription::lstUnits).
// A unit outside the table has no factor: every conversion through it gives NaN.
class PressureUnits
{
public:
    static constexpr int unitCount = 11;

    // Size of one unit in kilopascal, NaN outside the table.
    static double kpaPerUnit(int unit);
    // -1 for a code outside the table: a transmitter in an unlisted unit converts to nothing.
    static int unitFromHartCode(quint8 hartCode);

    static double toKpa(double value, quint8 unit);
    static double fromKpa(quint8 unit, double value);
    static double convert(quint8 from, quint8 to, double value);
    static double convertFromHart(quint8 hartCode, quint8 unit, double value);
    static double convertHart(quint8 hartFrom, quint8 hartTo, double value);
    // A single-precision value converts as the digits it holds (through widenFloat): promoted as it
    // is, its binary tail lands the result, once rounded to float, a float step off.
    static double convert(quint8 from, quint8 to, float value);
    static double convertFromHart(quint8 hartCode, quint8 unit, float value);

    // The calibrator keeps pressures in kPa in single precision. A value for it is converted in
    // double and rounded to float once (a single-precision value goes in as the digits it holds, or
    // its binary tail lands the result a float step off); a value from it keeps the digits the float
    // holds.
    static float toKpaFloat(double value, quint8 unit);
    static float toKpaFloat(float value, quint8 unit);
    static double fromKpaFloat(quint8 unit, float kpa);
};
