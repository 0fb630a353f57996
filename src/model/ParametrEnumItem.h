#pragma once

#include <QString>

// One choice of an enumeration parameter.
class ParametrEnumItem
{
public:
    ParametrEnumItem(const QString& text, int value);

    int value;
    QString text;
};
