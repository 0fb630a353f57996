#include "DateTimeScaleDraw.h"

#include "TextDiscription.h"

#include <QPainter>
#include <qwt_text.h>

DateTimeScaleDraw::DateTimeScaleDraw(const QDateTime& startTime) : m_startTime(startTime) {}

bool DateTimeScaleDraw::setDatesShown(bool shown)
{
    if (shown == m_datesShown)
        return false;
    m_datesShown = shown;
    invalidateCache();
    return true;
}

QwtText DateTimeScaleDraw::label(double value) const
{
    if (!m_datesShown)
        return QwtText();
    return QwtText(russianLocale().toString(m_startTime.addMSecs(qint64(value)), QStringLiteral("dd.MM.yy \nhh:mm:ss")));
}

void DateTimeScaleDraw::drawLabel(QPainter* painter, double value) const
{
    QwtText text = tickLabel(painter->font(), value);
    if (text.isEmpty())
        return;
    text.setBackgroundBrush(Qt::white);
    const QPointF position = labelPosition(value);
    const QSizeF size = text.textSize(painter->font());
    const QTransform transform = labelTransformation(position, size);
    painter->save();
    painter->setWorldTransform(transform, true);
    text.draw(painter, QRect(QPoint(0, 0), size.toSize()));
    painter->restore();
}
