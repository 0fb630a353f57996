#include "TimeScaleEngine.h"

#include "LocalClock.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <qwt_scale_div.h>

namespace {

constexpr qint64 secondMs = 1000;
constexpr qint64 minuteMs = 60 * secondMs;
constexpr qint64 hourMs = 60 * minuteMs;
constexpr double dayMs = 24.0 * hourMs;
// About three thousand years either side of the origin: further out a step of a millisecond is
// lost in a double, and the calendar ends.
constexpr double reachMs = 1e14;

qint64 floorMod(qint64 value, qint64 divisor)
{
    return ((value % divisor) + divisor) % divisor;
}

}  // namespace

TimeScaleEngine::TimeScaleEngine(const QDateTime& origin) : m_origin(double(origin.toMSecsSinceEpoch())) {}

// The axis spans the samples, not the whole units around them. A single instant is shown with a
// second on either side, not an empty scale.
void TimeScaleEngine::autoScale(int, double& x1, double& x2, double& stepSize) const
{
    if (x1 > x2)
        std::swap(x1, x2);
    widen(x1, x2);
    reachWholeSeconds(x1, x2);
    stepSize = 0.0;
}

// The step hint of autoScale is left out: the engine takes its step from the label share and the
// step count only.
QwtScaleDiv TimeScaleEngine::divideScale(double x1, double x2, int maxMajorSteps, int maxMinorSteps, double) const
{
    double low = qMin(x1, x2);
    double high = qMax(x1, x2);
    widen(low, high);
    QwtScaleDiv div(low, high);
    if (!(qAbs(low) < reachMs && qAbs(high) < reachMs))
        return div;
    const LocalClock clock(m_origin, low, high);
    QList<double> majors;
    const int chosen = majorStep(clock, low, high, qMax(1, maxMajorSteps) + 1, majors);
    if (chosen >= 0) {
        div.setTicks(QwtScaleDiv::MajorTick, majors);
        div.setTicks(QwtScaleDiv::MinorTick, minorTicks(clock, steps().at(chosen), low, high, maxMinorSteps, majors));
    }
    if (x1 > x2)
        div.invert();
    return div;
}

// From the shortest step up; days are counted from a Monday.
const QList<TimeScaleEngine::Step>& TimeScaleEngine::steps()
{
    static const QList<Step> all = [] {
        QList<Step> list;
        for (qint64 unit : {secondMs, minuteMs})
            for (int n : {1, 2, 5, 10, 15, 30})
                list << Step{Clock, n * unit, double(n * unit)};
        for (int n : {1, 2, 3, 4, 6, 12})
            list << Step{Clock, n * hourMs, double(n * hourMs)};
        for (int n : {1, 2, 7, 14})
            list << Step{Day, n, n * dayMs};
        for (int n : {1, 2, 3, 4, 6})
            list << Step{Month, n, n * 30 * dayMs};
        for (int decade = 1; decade <= 1000; decade *= 10)
            for (int n : {decade, 2 * decade, 5 * decade})
                list << Step{Year, n, n * 365 * dayMs};
        list << Step{Year, 10000, 10000 * 365 * dayMs};
        return list;
    }();
    return all;
}

// The index of the step with the most ticks, at most `most`, that stand the label share of the
// interval apart; -1 when no step has a tick in the interval.
int TimeScaleEngine::majorStep(const LocalClock& clock, double x1, double x2, int most, QList<double>& best) const
{
    const double leastGap = m_labelShare * (x2 - x1);
    int chosen = -1;
    for (int i = 0; i < steps().size(); ++i) {
        QList<double> ticks;
        bool fits = true;
        forEachTick(clock, steps().at(i), x1, x2, [&](double tick) {
            fits = ticks.size() < most && (ticks.isEmpty() || tick - ticks.last() >= leastGap);
            ticks << tick;
            return fits;
        });
        if (fits && ticks.size() > best.size()) {
            best = ticks;
            chosen = i;
        }
    }
    return chosen;
}

// The shortest step that divides the major one into no more than the minor step count.
QList<double> TimeScaleEngine::minorTicks(const LocalClock& clock, const Step& major, double x1, double x2,
                                          int maxMinorSteps, const QList<double>& majors)
{
    const auto minor = std::find_if(steps().cbegin(), steps().cend(), [&](const Step& step) {
        return step.length < major.length && major.length <= step.length * maxMinorSteps;
    });
    QList<double> ticks;
    if (minor == steps().cend())
        return ticks;
    const int most = (majors.size() + 1) * (maxMinorSteps + 1);
    forEachTick(clock, *minor, x1, x2, [&](double tick) {
        if (!majors.contains(tick))
            ticks << tick;
        return ticks.size() < most;
    });
    return ticks;
}

void TimeScaleEngine::forEachTick(const LocalClock& clock, const Step& step, double x1, double x2, const TickSink& take)
{
    if (step.unit == Clock)
        forEachClockTick(clock, step.count, x1, x2, take);
    else
        forEachDateTick(clock, step, x1, x2, take);
}

// Whole multiples of the step on the local clock. Where the offset from UTC changes, the next tick
// is aligned anew, and a clock time that the change repeats gets no second tick.
void TimeScaleEngine::forEachClockTick(const LocalClock& clock, qint64 stepMs, double x1, double x2,
                                       const TickSink& take)
{
    qint64 lastWall = std::numeric_limits<qint64>::min();
    double x = std::ceil(x1);
    while (x <= x2) {
        const qint64 wall = clock.wallTime(x);
        const qint64 rest = floorMod(wall, stepMs);
        double tick = rest == 0 ? x : x + double(stepMs - rest);
        qint64 tickWall = clock.wallTime(tick);
        if (floorMod(tickWall, stepMs) != 0) {
            // The offset changed on the way: the multiple just below on the new clock, if it is
            // still ahead, else the search goes on from there.
            const double earlier = tick - double(floorMod(tickWall, stepMs));
            if (earlier <= x || floorMod(clock.wallTime(earlier), stepMs) != 0) {
                x = tick;
                continue;
            }
            tick = earlier;
            tickWall = clock.wallTime(earlier);
        }
        if (tickWall > lastWall) {
            if (tick > x2 || !take(tick))
                return;
            lastWall = tickWall;
        }
        x = tick + 1;
    }
}

// Local midnights of the dates on the step: days counted from a Monday, months from January,
// years from a multiple of the count.
void TimeScaleEngine::forEachDateTick(const LocalClock& clock, const Step& step, double x1, double x2,
                                      const TickSink& take)
{
    const QDate first = clock.date(x1);
    const int n = int(step.count);
    QDate date;
    if (step.unit == Day)
        date = QDate::fromJulianDay(first.toJulianDay() - floorMod(first.toJulianDay(), n));
    else if (step.unit == Month)
        date = QDate(first.year(), first.month() - (first.month() - 1) % n, 1);
    else
        date = yearStart(first.year() - int(floorMod(first.year(), n)), n);
    for (; date.isValid(); date = following(date, step)) {
        const double tick = clock.midnight(date);
        if (tick > x2)
            return;
        if (tick >= x1 && !take(tick))
            return;
    }
}

// The calendar has no year 0; a count that reaches back to it starts a count later, before which
// the interval begins anyway.
QDate TimeScaleEngine::yearStart(int year, int count)
{
    return QDate(year == 0 ? count : year, 1, 1);
}

QDate TimeScaleEngine::following(const QDate& date, const Step& step)
{
    const int n = int(step.count);
    if (step.unit == Day)
        return date.addDays(n);
    return step.unit == Month ? date.addMonths(n) : date.addYears(n);
}

void TimeScaleEngine::widen(double& x1, double& x2)
{
    if (x1 == x2) {
        x1 -= secondMs;
        x2 += secondMs;
    }
}

// With x1 not above x2. Samples that span fewer than two whole seconds, as a fast poll's first
// ones do, would show one tick or none: the scale reaches out to the whole seconds around them. A
// range set by a zoom is left as it is.
void TimeScaleEngine::reachWholeSeconds(double& x1, double& x2)
{
    if (std::floor(x2 / secondMs) - std::ceil(x1 / secondMs) < 1) {
        x1 = std::floor(x1 / secondMs) * secondMs;
        x2 = std::ceil(x2 / secondMs) * secondMs;
    }
}
