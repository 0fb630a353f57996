#include "LocalClock.h"

#include <QDateTime>
#include <cmath>
#include <limits>

LocalClock::LocalClock(double originMs, double x1, double x2) : m_origin(originMs)
{
    double before = x1;
    qint64 offset = offsetAt(before);
    m_pieces.append({-std::numeric_limits<double>::infinity(), offset});
    // An axis zoomed out to centuries is sampled more coarsely, so that it draws in time.
    const double step = qMax(samplingStepMs, (x2 - x1) / mostSamples);
    while (before < x2) {
        const double after = qMin(before + step, x2);
        const qint64 next = offsetAt(after);
        if (next != offset)
            m_pieces.append({changeWithin(before, after), next});
        before = after;
        offset = next;
    }
}

qint64 LocalClock::wallTime(double x) const
{
    int piece = m_pieces.size() - 1;
    while (piece > 0 && x < m_pieces[piece].from)
        --piece;
    return qint64(std::floor(m_origin + x)) + m_pieces[piece].offsetMs;
}

double LocalClock::fromWallTime(qint64 wall) const
{
    for (int i = 0; i + 1 < m_pieces.size(); ++i) {
        const double x = double(wall - m_pieces[i].offsetMs) - m_origin;
        if (x < m_pieces[i].from)
            return m_pieces[i].from;
        if (x < m_pieces[i + 1].from)
            return x;
    }
    const Piece& last = m_pieces.last();
    return qMax(last.from, double(wall - last.offsetMs) - m_origin);
}

QDate LocalClock::date(double x) const
{
    return QDateTime::fromMSecsSinceEpoch(wallTime(x), Qt::UTC).date();
}

double LocalClock::midnight(const QDate& date) const
{
    return fromWallTime(QDateTime(date, QTime(0, 0), Qt::UTC).toMSecsSinceEpoch());
}

qint64 LocalClock::offsetAt(double x) const
{
    const qint64 msecs = qint64(std::floor(m_origin + x));
    return 1000LL * QDateTime::fromMSecsSinceEpoch(msecs, Qt::LocalTime).offsetFromUtc();
}

// The first whole millisecond after `before` that has the offset of `after`.
double LocalClock::changeWithin(double before, double after) const
{
    const qint64 target = offsetAt(after);
    double low = std::floor(before);
    double high = std::ceil(after);
    while (high - low > 1) {
        const double middle = std::floor((low + high) / 2);
        (offsetAt(middle) == target ? high : low) = middle;
    }
    return high;
}
