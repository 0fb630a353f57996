#pragma once

#include <QByteArray>

class CalibratorMemory;

// The registers a graduation touches: the output's minimum, maximum and shift, the input
// coefficient, the output set points and the factory number. The calibrator takes only plain
// decimal numbers there; anything else is refused and counted, so tests can show that none came.
class CalibrationRegisters
{
public:
    // The values of a calibrator fresh from the factory; the set points are written only.
    static void preset(CalibratorMemory& memory);
    // False for a write to one of these registers whose data is not a number the register takes.
    static bool isWellFormed(int reg, int type, const QByteArray& data);
};
