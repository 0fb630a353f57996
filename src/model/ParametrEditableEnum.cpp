#include "ParametrEditableEnum.h"

ParametrEditableEnum::ParametrEditableEnum(const QString& caption,
                                           const QList<ParametrEnumItem*>* items, quint8 flags)
    : HAbstractParametr(TypeId, caption, flags), m_items(items)
{
}
