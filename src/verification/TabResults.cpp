#include "TabResults.h"

TabResults::TabResults(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("TabResults"));
}
