#pragma once

#include <QList>
#include <QWidget>

class HartDeviceData;
class HartStatusElement;
class QGridLayout;
class Ui_TabHartxAditionalStatus;

// The additional device status of command 48 as ten lamps: the extended device status (byte 6)
// and standardized status 0 (byte 8).
class TabHartxAditionalStatus : public QWidget
{
    Q_OBJECT
public:
    explicit TabHartxAditionalStatus(QWidget* parent = nullptr);
    ~TabHartxAditionalStatus() override;

    void showAdditionalStatus(const HartDeviceData& data);
    const QList<HartStatusElement*>& lamps() const { return m_lamps; }

public slots:
    void readAdditionalDeviceStatus(bool showMessages = true);

private:
    void addStatusRow(const QString& text, int id);
    void clearLamps();
    void setLamp(int id, bool on);

    Ui_TabHartxAditionalStatus* ui;
    QGridLayout* m_rows;
    int m_row = 0;
    int m_column = 0;
    QList<HartStatusElement*> m_lamps;
};
