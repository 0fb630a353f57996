#pragma once

#include "HAbstractParametr.h"
#include "ParametrEnumItem.h"

#include <QList>

// Free text with suggestions from an item list. Holds one value only.
class ParametrEditableEnum : public HAbstractParametr
{
public:
    static constexpr int TypeId = 10;

    ParametrEditableEnum(const QString& caption, const QList<ParametrEnumItem*>* items, quint8 flags);

    QString valueText() const override { return m_text; }

    void setValue(const QString& text) { m_text = text; }
    QString value() const { return m_text; }
    const QList<ParametrEnumItem*>* items() const { return m_items; }

private:
    const QList<ParametrEnumItem*>* m_items;
    QString m_text;
};
