#pragma once

#include "HAbstractParametr.h"

class ParametrInt : public HAbstractParametr
{
public:
    static constexpr int TypeId = 4;

    ParametrInt(const QString& caption, int minimum, int maximum, quint8 flags);

    QString valueText() const override;
    void applyEdited() override;
    void revertEdited() override;

    // Values are clamped to the limits: they may come from a project file.
    void setValue(int value);
    int value() const { return m_value; }
    void setEditedValue(int value);
    int editedValue() const { return m_edited; }
    int minimum() const { return m_minimum; }
    int maximum() const { return m_maximum; }

    QString hexText(bool hex) const;

private:
    int shownValue() const;
    int clamped(int value) const;

    int m_minimum;
    int m_maximum;
    int m_value;
    int m_edited;
};
