#include "ParametrEnum.h"

ParametrEnum::ParametrEnum(const QString& caption, const QList<ParametrEnumItem*>* items, quint8 flags)
    : HAbstractParametr(TypeId, caption, flags), m_items(items)
{
}

QString ParametrEnum::valueText() const
{
    const int index = currentIndex();
    if (index < 0)
        return QLatin1Char('<') + QString::number(shownValue()) + QLatin1Char('>');
    return m_items->at(index)->text;
}

void ParametrEnum::applyEdited()
{
    m_value = m_edited;
}

void ParametrEnum::revertEdited()
{
    m_edited = m_value;
}

void ParametrEnum::setValue(int value)
{
    m_value = value;
    m_edited = value;
}

int ParametrEnum::currentIndex() const
{
    return indexOf(shownValue());
}

void ParametrEnum::setItems(const QList<ParametrEnumItem*>* items)
{
    m_items = items;
    if (m_items && !m_items->isEmpty() && indexOf(m_value) < 0)
        setValue(m_items->first()->value);
}

int ParametrEnum::shownValue() const
{
    return showsCommitted() ? m_value : m_edited;
}

int ParametrEnum::indexOf(int value) const
{
    if (!m_items)
        return -1;
    for (int i = 0; i < m_items->size(); ++i) {
        if (m_items->at(i)->value == value)
            return i;
    }
    return -1;
}
