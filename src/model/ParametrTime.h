#pragma once

#include "HAbstractParametr.h"

#include <QTime>

class ParametrTime : public HAbstractParametr
{
public:
    static constexpr int TypeId = 6;

    ParametrTime(const QString& caption, quint8 flags);
    ParametrTime(const QString& caption, const QTime& minimum, const QTime& maximum, quint8 flags);

    // Shown as "1 час  30 мин  " style text; an invalid time shows nothing.
    QString valueText() const override;
    void applyEdited() override;
    void revertEdited() override;

    // Valid times are clamped to the limits.
    void setValue(const QTime& value);
    QTime value() const { return m_value; }
    void setEditedValue(const QTime& value);
    QTime editedValue() const { return m_edited; }
    QTime minimum() const { return m_minimum; }
    QTime maximum() const { return m_maximum; }

    // Seconds with their fraction, as in "7.5".
    static QString secondsText(const QTime& time);

private:
    QTime clamped(const QTime& value) const;

    QTime m_minimum;
    QTime m_maximum;
    QTime m_value;
    QTime m_edited;
};
