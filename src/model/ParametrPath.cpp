#include "ParametrPath.h"

ParametrPath::ParametrPath(const QString& caption, quint8 flags)
    : HAbstractParametr(TypeId, caption, flags), m_nameFilters{QStringLiteral("*")}
{
}
