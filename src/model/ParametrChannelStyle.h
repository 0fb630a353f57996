#pragma once

#include "HAbstractParametr.h"

#include <QColor>
#include <QPalette>

// Line style of a plotted channel: WindowText is the line colour, Window the fill.
class ParametrChannelStyle : public HAbstractParametr
{
public:
    static constexpr int TypeId = 7;

    ParametrChannelStyle(const QString& caption, quint8 flags);

    void setLineWidth(int width) { m_lineWidth = quint8(width); }
    quint8 lineWidth() const { return m_lineWidth; }
    // A zero width draws a thin half-pixel line.
    double penWidth() const;

    void setLineColor(const QColor& color);
    QColor lineColor() const;
    void setFillColor(const QColor& color);
    QColor fillColor() const;
    const QPalette& palette() const { return m_palette; }
    void setPalette(const QPalette& palette) { m_palette = palette; }

private:
    quint8 m_lineWidth = 1;
    QPalette m_palette;
};
