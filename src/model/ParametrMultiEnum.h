#pragma once

#include "HAbstractParametr.h"
#include "ParametrEnumItem.h"

#include <QList>
#include <QMutex>

// A selection of item values. Readers in other threads lock() the selection while they iterate;
// the mutex is recursive so that they may call contains() meanwhile.
class ParametrMultiEnum : public HAbstractParametr
{
public:
    static constexpr int TypeId = 5;
    static constexpr int shownItemLimit = 11;

    ParametrMultiEnum(const QString& caption, const QList<ParametrEnumItem*>* items, quint8 flags);

    QString valueText() const override;

    bool contains(int value) const;
    void clear();
    void selectAll();
    void lock() const { m_mutex.lock(); }
    void unlock() const { m_mutex.unlock(); }

    // With the switch on the display shows item texts, else item values counted from 1.
    void setShowTexts(bool on) { m_showTexts = on; }
    bool showTexts() const { return m_showTexts; }

private:
    QString itemText(int value) const;

    const QList<ParametrEnumItem*>* m_items;
    QList<int> m_selected;
    bool m_showTexts = false;
    mutable QRecursiveMutex m_mutex;
};
