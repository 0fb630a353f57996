#include "RussianScaleDraw.h"

#include "TextDiscription.h"

#include <qwt_text.h>

// A tick that misses zero by a rounding error is zero, not "-0" or "1e-17".
QwtText RussianScaleDraw::label(double value) const
{
    if (qFuzzyCompare(value + 1.0, 1.0))
        value = 0.0;
    return QwtText(russianLocale().toString(value));
}
