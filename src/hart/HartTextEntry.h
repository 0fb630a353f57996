#pragma once

#include <QString>
#include <QVector>

// One row of a HART code-to-text table; lookups take the first row that matches.
struct HartTextEntry
{
    quint8 code;
    QString text;
};

using HartTextTable = QVector<HartTextEntry>;
