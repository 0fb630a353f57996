#pragma once

#include <QDateTime>
#include <qwt_scale_draw.h>

// The time axis of a plot: a value is milliseconds since the start time, shown as date over time.
class DateTimeScaleDraw : public QwtScaleDraw
{
public:
    explicit DateTimeScaleDraw(const QDateTime& startTime);

    // An empty plot has no time to show; its axis reads no date until it has one. True when
    // that changed.
    bool setDatesShown(bool shown);
    QwtText label(double value) const override;

protected:
    // As the base class draws it, on a white ground so the grid does not run through the text.
    void drawLabel(QPainter* painter, double value) const override;

private:
    QDateTime m_startTime;
    bool m_datesShown = true;
};
