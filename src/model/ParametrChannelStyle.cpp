#include "ParametrChannelStyle.h"

ParametrChannelStyle::ParametrChannelStyle(const QString& caption, quint8 flags)
    : HAbstractParametr(TypeId, caption, flags)
{
    setLineColor(Qt::black);
    setFillColor(Qt::transparent);
}

double ParametrChannelStyle::penWidth() const
{
    return m_lineWidth == 0 ? 0.5 : double(m_lineWidth);
}

void ParametrChannelStyle::setLineColor(const QColor& color)
{
    m_palette.setColor(QPalette::WindowText, color);
}

QColor ParametrChannelStyle::lineColor() const
{
    return m_palette.color(QPalette::WindowText);
}

void ParametrChannelStyle::setFillColor(const QColor& color)
{
    m_palette.setColor(QPalette::Window, color);
}

QColor ParametrChannelStyle::fillColor() const
{
    return m_palette.color(QPalette::Window);
}
