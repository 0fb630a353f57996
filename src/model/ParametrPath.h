#pragma once

#include "HAbstractParametr.h"

#include <QStringList>

// A file path, or a folder when the parameter carries TallInput. Holds one value only.
class ParametrPath : public HAbstractParametr
{
public:
    static constexpr int TypeId = 9;

    ParametrPath(const QString& caption, quint8 flags);

    QString valueText() const override { return m_path; }

    void setValue(const QString& path) { m_path = path; }
    QString value() const { return m_path; }
    void setStringList(const QStringList& nameFilters) { m_nameFilters = nameFilters; }
    QStringList stringList() const { return m_nameFilters; }

private:
    QString m_path;
    QStringList m_nameFilters;
};
