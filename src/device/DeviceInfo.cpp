#include "DeviceInfo.h"

#include "CalibratorMap.h"

#include <QCoreApplication>

DeviceInfo::DeviceInfo(const PortEntry& port, quint8 address, quint8 type)
    : port(port), address(address), type(type)
{
    switch (type) {
    case CalibratorMap::TypeZfn020:
        modelName = QCoreApplication::translate("QObject", "ЗФН-020");
        familyName = QCoreApplication::translate("QObject", "ЗФН");
        break;
    case CalibratorMap::TypeZfn030:
        modelName = QCoreApplication::translate("QObject", "ЗФН-030");
        familyName = QCoreApplication::translate("QObject", "ЗФН");
        break;
    case CalibratorMap::TypeLmv160:
        modelName = QCoreApplication::translate("QObject", "ЛМВ-160");
        familyName = QCoreApplication::translate("QObject", "ЛМВ");
        break;
    default:
        break;
    }
}

bool DeviceInfo::isKnownType(int type)
{
    return type == CalibratorMap::TypeZfn020 || type == CalibratorMap::TypeZfn030 || type == CalibratorMap::TypeLmv160;
}
