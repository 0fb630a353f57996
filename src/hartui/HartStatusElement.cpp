#include "HartStatusElement.h"

#include <QPainter>
#include <QPixmap>

HartStatusElement::HartStatusElement(QWidget* parent, int id, const QColor& onColor)
    : QWidget(parent)
    , m_onColor(onColor)
    , m_id(id)
{
    setObjectName(QStringLiteral("hartStatusElement_%1").arg(id));
    setFixedSize(LampSize, LampSize);
    setAutoFillBackground(true);
    repaintLamp(false);
}

void HartStatusElement::setState(bool on)
{
    if (on != m_state)
        repaintLamp(on);
}

void HartStatusElement::repaintLamp(bool on)
{
    m_state = on;
    QPixmap lamp(LampSize, LampSize);
    lamp.fill(Qt::transparent);
    {
        QPainter painter(&lamp);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setBrush(QBrush(on ? m_onColor : m_offColor, Qt::SolidPattern));
        painter.setPen(m_outlineColor);
        painter.drawEllipse(QRect(QPoint(m_margin, m_margin), QPoint(LampSize - 1 - m_margin, LampSize - 1 - m_margin)));
    }
    QPalette lampPalette = palette();
    lampPalette.setBrush(QPalette::All, QPalette::Window, QBrush(lamp));
    setPalette(lampPalette);
}
