#pragma once

#include <QWidget>

class QLabel;

// The HART status bar: shows whether a HART transmitter answers behind the calibrator.
class HartStatusWidget : public QWidget
{
    Q_OBJECT
public:
    explicit HartStatusWidget(QWidget* parent = nullptr);
    ~HartStatusWidget() override;

    bool isHartDeviceConnected() const { return m_connected; }
    QString statusText() const;

public slots:
    void setHartDeviceConnectionState(bool connected);

private:
    QLabel* m_statusLabel;
    bool m_connected = false;
};

extern HartStatusWidget* g_hartStatusWidget;
