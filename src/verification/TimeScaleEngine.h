#pragma once

#include <QDateTime>
#include <qwt_date_scale_engine.h>

// Ticks for a time axis whose values are milliseconds since an origin: on whole seconds, minutes,
// hours, days, weeks, months or years of local time (at the offset from UTC that holds at the
// start of the axis), as Qwt's date engine places them. Its labels read to the second, so no two
// ticks fall within one second; and the ticks stand at least the interval divided by the step
// count apart, as a linear scale's do, short months included, so a step count that fits the
// labels keeps them apart.
class TimeScaleEngine : public QwtDateScaleEngine
{
public:
    explicit TimeScaleEngine(const QDateTime& origin);

    void autoScale(int maxNumSteps, double& x1, double& x2, double& stepSize) const override;
    QwtScaleDiv divideScale(double x1, double x2, int maxMajorSteps, int maxMinorSteps,
                            double stepSize = 0.0) const override;

private:
    double shiftAt(double x) const;
    static void widen(double& x1, double& x2);
    static void reachWholeSeconds(double& x1, double& x2);
    static QwtScaleDiv shifted(const QwtScaleDiv& div, double by);

    // The origin in milliseconds since the epoch.
    double m_origin;
};
