#pragma once

#include <QWidget>
#include <array>

class QLabel;
class HartStatusElement;
class HartStatusTextDiscription;

// The HART status bar: eight lamps for the field-device status byte of the last HART operation and
// the text saying whether a HART transmitter answers. Pointing at the bar opens the pop-up that
// names the status bits.
class HartStatusWidget : public QWidget
{
    Q_OBJECT
public:
    static constexpr int LampCount = 8;

    explicit HartStatusWidget(QWidget* parent = nullptr);
    ~HartStatusWidget() override;

    bool isHartDeviceConnected() const { return m_connected; }
    QString statusText() const;
    // Lamp i shows bit 0x80 >> i.
    void showDeviceStatus(quint8 status);
    HartStatusElement* lamp(int id) const { return m_lamps.at(size_t(id)); }
    HartStatusTextDiscription* popUp() const { return m_popUp; }

public slots:
    void showHartStatusDiskription();
    void setHartDeviceConnectionState(bool connected);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    bool m_connected = false;
    QLabel* m_caption;
    HartStatusTextDiscription* m_popUp;
    std::array<HartStatusElement*, LampCount> m_lamps{};
    QLabel* m_connectionLabel;
};

extern HartStatusWidget* g_hartStatusWidget;
