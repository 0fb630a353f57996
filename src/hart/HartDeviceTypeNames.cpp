#include "HartDeviceTypeNames.h"

const QStringList g_hartDeviceTypeNames = {
    QStringLiteral("Датчик давления ПД-1"),
    QStringLiteral("Датчик давления ПД-2"),
    QStringLiteral("Датчик давления ПД-3"),
    QStringLiteral("Неизвестное HART-устройство"),
};

const QString& hartDeviceTypeName(quint32 key)
{
    for (size_t i = 0; i < g_hartDeviceTypeKeys.size(); ++i) {
        if (g_hartDeviceTypeKeys[i] == key)
            return g_hartDeviceTypeNames.at(int(i));
    }
    return g_hartDeviceTypeNames.last();
}
