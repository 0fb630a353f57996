#include "ParametrEnumItem.h"

ParametrEnumItem::ParametrEnumItem(const QString& text, int value)
    : value(value), text(text)
{
}
