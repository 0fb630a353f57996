#pragma once

#include <QDate>
#include <QVector>

// The local clock over an interval of milliseconds since an origin: the offsets from UTC and the
// instants where they change, asked of the time zone once. Asking it at every tick of an axis
// costs a look at the zone's file each time, many times over on every redraw of a live plot.
class LocalClock
{
public:
    // No two changes of the offset come within the sampling step of each other.
    static constexpr double samplingStepMs = 7.0 * 24 * 3600 * 1000;
    static constexpr int mostSamples = 4096;

    LocalClock(double originMs, double x1, double x2);

    // The clock's reading at x, in milliseconds since the epoch of the local clock.
    qint64 wallTime(double x) const;
    // The first x at which the clock reads `wall`; where a change jumps over it, the change.
    double fromWallTime(qint64 wall) const;
    QDate date(double x) const;
    double midnight(const QDate& date) const;

private:
    struct Piece
    {
        // From here on, up to the next piece.
        double from;
        qint64 offsetMs;
    };

    qint64 offsetAt(double x) const;
    double changeWithin(double before, double after) const;

    double m_origin;
    QVector<Piece> m_pieces;
};
