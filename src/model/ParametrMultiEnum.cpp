#include "ParametrMultiEnum.h"

#include <QMutexLocker>
#include <QObject>
#include <algorithm>

ParametrMultiEnum::ParametrMultiEnum(const QString& caption, const QList<ParametrEnumItem*>* items,
                                     quint8 flags)
    : HAbstractParametr(TypeId, caption, flags), m_items(items)
{
}

QString ParametrMultiEnum::valueText() const
{
    QMutexLocker locker(&m_mutex);
    if (m_selected.isEmpty())
        return QObject::tr("Нажмите для выбора");
    QString text;
    const int shown = std::min(int(m_selected.size()), shownItemLimit);
    for (int i = 0; i < shown; ++i) {
        text += QLatin1Char('[') + itemText(m_selected.at(i)) + QLatin1Char(']');
        if (i != m_selected.size() - 1)
            text += QStringLiteral(" ,");
    }
    return text;
}

bool ParametrMultiEnum::contains(int value) const
{
    QMutexLocker locker(&m_mutex);
    return m_selected.contains(value);
}

void ParametrMultiEnum::clear()
{
    QMutexLocker locker(&m_mutex);
    m_selected.clear();
}

void ParametrMultiEnum::selectAll()
{
    QMutexLocker locker(&m_mutex);
    if (!m_items)
        return;
    for (const ParametrEnumItem* item : *m_items)
        m_selected.append(item->value);
}

QString ParametrMultiEnum::itemText(int value) const
{
    if (!m_items)
        return QString();
    for (const ParametrEnumItem* item : *m_items) {
        if (item->value == value)
            return m_showTexts ? item->text : QString::number(value + 1);
    }
    return QString();
}
