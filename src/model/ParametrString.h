#pragma once

#include "HAbstractParametr.h"

class ParametrString : public HAbstractParametr
{
public:
    static constexpr int TypeId = 1;

    ParametrString(const QString& caption, int maximumLength, quint8 flags);

    // Always the committed text, even in deferred mode.
    QString valueText() const override;
    void applyEdited() override;
    void revertEdited() override;

    void setValue(const QString& text);
    QString value() const { return m_value; }
    void setEditedValue(const QString& text) { m_edited = text; }
    QString editedValue() const { return m_edited; }
    int storedOption() const { return m_maximumLength; }

private:
    QString m_value;
    QString m_edited;
    int m_maximumLength;
};
