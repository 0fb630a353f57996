#pragma once

#include <qwt_scale_draw.h>

// A value axis whose labels read as the tables do ("1 000", "0,5"), whatever the system's locale.
class RussianScaleDraw : public QwtScaleDraw
{
public:
    QwtText label(double value) const override;
};
