#pragma once

#include "HAbstractParametr.h"

class ParametrDouble : public HAbstractParametr
{
public:
    static constexpr int TypeId = 3;
    // A bound given as this value means "no bound".
    static constexpr double unbounded = -99.0;

    ParametrDouble(const QString& caption, double minimum, double maximum, quint8 flags);

    QString valueText() const override;
    void applyEdited() override;
    void revertEdited() override;

    // Values are clamped to the limits; NaN leaves the value unchanged.
    void setValue(double value);
    const double& value() const { return m_value; }
    void setEditedValue(double value);
    double editedValue() const { return m_edited; }
    double minimum() const { return m_minimum; }
    double maximum() const { return m_maximum; }
    int decimals() const { return m_decimals; }

private:
    double clamped(double value) const;

    double m_minimum;
    double m_maximum;
    int m_decimals = 3;
    double m_value;
    double m_edited;
};
