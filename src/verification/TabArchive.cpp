#include "TabArchive.h"

TabArchive::TabArchive(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("TabArchive"));
}
