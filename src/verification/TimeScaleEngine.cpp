#include "TimeScaleEngine.h"

#include <QtMath>
#include <cmath>

namespace {

constexpr double msecsPerSecond = 1000.0;

// No more steps than the seconds that the interval touches: Qwt's date engine then divides it in
// whole seconds or more, never in milliseconds.
int secondSteps(int steps, double x1, double x2)
{
    const double seconds = std::ceil(qMax(x1, x2) / msecsPerSecond) - std::floor(qMin(x1, x2) / msecsPerSecond);
    return qBound(1, steps, int(seconds));
}

double closestTicks(const QwtScaleDiv& div)
{
    const QList<double> ticks = div.ticks(QwtScaleDiv::MajorTick);
    double closest = qInf();
    for (int i = 1; i < ticks.size(); ++i)
        closest = qMin(closest, qAbs(ticks[i] - ticks[i - 1]));
    return closest;
}

}  // namespace

TimeScaleEngine::TimeScaleEngine(const QDateTime& origin)
    : QwtDateScaleEngine(Qt::UTC), m_origin(double(origin.toMSecsSinceEpoch()))
{
    // The axis spans the samples, not the whole months or years around them.
    setAttribute(QwtScaleEngine::Floating);
}

// A single instant is shown with a second on either side, not the decades that a share of its
// value would give, nor an empty scale.
void TimeScaleEngine::autoScale(int maxNumSteps, double& x1, double& x2, double& stepSize) const
{
    const double shift = shiftAt(qMin(x1, x2));
    x1 += shift;
    x2 += shift;
    widen(x1, x2);
    reachWholeSeconds(x1, x2);
    QwtDateScaleEngine::autoScale(secondSteps(maxNumSteps, x1, x2), x1, x2, stepSize);
    x1 -= shift;
    x2 -= shift;
}

// The step hint of autoScale is left out: the engine takes its step from the step count only.
QwtScaleDiv TimeScaleEngine::divideScale(double x1, double x2, int maxMajorSteps, int maxMinorSteps, double) const
{
    const double shift = shiftAt(qMin(x1, x2));
    x1 += shift;
    x2 += shift;
    widen(x1, x2);
    const double leastStep = qAbs(x2 - x1) / qMax(1, maxMajorSteps);
    QwtScaleDiv div;
    for (int steps = secondSteps(maxMajorSteps, x1, x2); steps >= 1; --steps) {
        div = QwtDateScaleEngine::divideScale(x1, x2, steps, maxMinorSteps);
        if (closestTicks(div) >= leastStep)
            break;
    }
    return shifted(div, -shift);
}

// Qwt's date engine reads a value as UTC, which it divides without asking the time zone at every
// tick (a question that costs a file lookup each time); the shift adds the local offset at the
// start of the interval, so the ticks fall on whole local hours and days.
double TimeScaleEngine::shiftAt(double x) const
{
    const QDateTime instant = QDateTime::fromMSecsSinceEpoch(qint64(m_origin + x), Qt::LocalTime);
    return m_origin + msecsPerSecond * instant.offsetFromUtc();
}

void TimeScaleEngine::widen(double& x1, double& x2)
{
    if (x1 == x2) {
        x1 -= msecsPerSecond;
        x2 += msecsPerSecond;
    }
}

// On local time, with x1 not above x2. Samples that span fewer than two whole seconds, as a fast
// poll's first ones do, would show one tick or none: the scale reaches out to the whole seconds
// around them. A range set by a zoom is left as it is.
void TimeScaleEngine::reachWholeSeconds(double& x1, double& x2)
{
    if (std::floor(x2 / msecsPerSecond) - std::ceil(x1 / msecsPerSecond) < 1) {
        x1 = std::floor(x1 / msecsPerSecond) * msecsPerSecond;
        x2 = std::ceil(x2 / msecsPerSecond) * msecsPerSecond;
    }
}

QwtScaleDiv TimeScaleEngine::shifted(const QwtScaleDiv& div, double by)
{
    QwtScaleDiv moved(div.lowerBound() + by, div.upperBound() + by);
    for (int type : {QwtScaleDiv::MinorTick, QwtScaleDiv::MediumTick, QwtScaleDiv::MajorTick}) {
        QList<double> ticks = div.ticks(type);
        for (double& tick : ticks)
            tick += by;
        moved.setTicks(type, ticks);
    }
    return moved;
}
