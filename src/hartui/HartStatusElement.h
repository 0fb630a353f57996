#pragma once

#include <QColor>
#include <QWidget>

// One status lamp: a circle painted into the palette, so that the auto-filled background shows it.
class HartStatusElement : public QWidget
{
    Q_OBJECT
public:
    HartStatusElement(QWidget* parent, int id, const QColor& onColor);

    int id() const { return m_id; }
    bool state() const { return m_state; }
    // Repaints only on a change.
    void setState(bool on);
    void repaintLamp(bool on);

private:
    static constexpr int LampSize = 15;

    int m_margin = 1;
    QColor m_offColor = Qt::transparent;
    QColor m_onColor;
    QColor m_outlineColor = Qt::gray;
    bool m_state = false;
    int m_id;
};
