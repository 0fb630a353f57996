#pragma once

#include <QDateTime>
#include <QList>
#include <functional>
#include <qwt_scale_engine.h>

class LocalClock;

// Ticks for a time axis whose values are milliseconds since an origin: on whole seconds, minutes,
// hours, days, Mondays, months or years of local time, also across a change of the offset from
// UTC. Of the steps whose ticks stand apart by at least the label share of the interval, it takes
// the one that gives the most ticks (no more than the step count allows), so the labels of a
// share that fits them never touch. Its labels read to the second, so no step is below one.
class TimeScaleEngine : public QwtScaleEngine
{
public:
    explicit TimeScaleEngine(const QDateTime& origin);

    // The part of the axis one label takes with the room that keeps it from the next.
    void setLabelShare(double share) { m_labelShare = share; }
    double labelShare() const { return m_labelShare; }

    void autoScale(int maxNumSteps, double& x1, double& x2, double& stepSize) const override;
    QwtScaleDiv divideScale(double x1, double x2, int maxMajorSteps, int maxMinorSteps,
                            double stepSize = 0.0) const override;

private:
    enum Unit { Clock, Day, Month, Year };
    struct Step
    {
        Unit unit;
        // Milliseconds for a clock step, else days, months or years.
        qint64 count;
        // Its usual length in milliseconds, to rank the steps.
        double length;
    };
    // Answers whether to go on.
    using TickSink = std::function<bool(double)>;

    static const QList<Step>& steps();
    int majorStep(const LocalClock& clock, double x1, double x2, int most, QList<double>& ticks) const;
    static QList<double> minorTicks(const LocalClock& clock, const Step& major, double x1, double x2,
                                    int maxMinorSteps, const QList<double>& majors);
    static void forEachTick(const LocalClock& clock, const Step& step, double x1, double x2, const TickSink& take);
    static void forEachClockTick(const LocalClock& clock, qint64 stepMs, double x1, double x2, const TickSink& take);
    static void forEachDateTick(const LocalClock& clock, const Step& step, double x1, double x2, const TickSink& take);
    static QDate yearStart(int year, int count);
    static QDate following(const QDate& date, const Step& step);
    static void widen(double& x1, double& x2);
    static void reachWholeSeconds(double& x1, double& x2);

    // The origin in milliseconds since the epoch.
    double m_origin;
    double m_labelShare = 0.0;
};
