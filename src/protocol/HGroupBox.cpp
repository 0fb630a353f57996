#include "HGroupBox.h"

#include <QFontMetrics>
#include <algorithm>

HGroupBox::HGroupBox(QWidget* parent) : QGroupBox(parent)
{
    setAutoFillBackground(true);
}

HGroupBox::~HGroupBox() = default;

void HGroupBox::setWidthInChars(int characters)
{
    m_widthInChars = characters;
    if (characters != -1)
        updateFixedSize();
}

void HGroupBox::updateFixedSize()
{
    if (m_widthInChars <= 0)
        return;
    const int textWidth = QFontMetrics(font()).horizontalAdvance(QString(m_widthInChars, QLatin1Char('#')));
    setFixedWidth(std::max(m_minimumWidth, textWidth));
}
