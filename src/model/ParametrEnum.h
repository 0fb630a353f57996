#pragma once

#include "HAbstractParametr.h"
#include "ParametrEnumItem.h"

#include <QList>

// The item list belongs to its builder (the global choice lists) and must outlive the parameter.
class ParametrEnum : public HAbstractParametr
{
public:
    static constexpr int TypeId = 0;

    ParametrEnum(const QString& caption, const QList<ParametrEnumItem*>* items, quint8 flags);

    QString valueText() const override;
    void applyEdited() override;
    void revertEdited() override;

    void setValue(int value);
    int value() const { return m_value; }
    void setEditedValue(int value) { m_edited = value; }
    int editedValue() const { return m_edited; }
    int currentIndex() const;
    void setItems(const QList<ParametrEnumItem*>* items);
    const QList<ParametrEnumItem*>* items() const { return m_items; }

private:
    int shownValue() const;
    int indexOf(int value) const;

    const QList<ParametrEnumItem*>* m_items;
    int m_value = 0;
    int m_edited = 0;
};
