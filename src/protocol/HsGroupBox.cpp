#include "HsGroupBox.h"

HsGroupBox::HsGroupBox(QWidget* parent) : QFrame(parent)
{
}

HsGroupBox::~HsGroupBox() = default;
