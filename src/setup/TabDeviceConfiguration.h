#pragma once

#include <QWidget>

class DeviceSettings;
class QComboBox;
class QDate;
class QPushButton;
class QTime;
class Ui_TabDeviceConfiguration;

// The calibrator's settings page: the settings the operator edits and writes, the reference
// module with its zero, the 24 V and HART modem switches, and the clock. Settings travel through
// the device object's settings block and its numbered operations; the clock is read and written
// here, in the GUI thread, one request after another.
class TabDeviceConfiguration : public QWidget
{
    Q_OBJECT
public:
    explicit TabDeviceConfiguration(QWidget* parent = nullptr);
    ~TabDeviceConfiguration() override;

    void settingsToForm();
    void formToSettings();
    void clearForm();

public slots:
    void readDateTimeFromDevice();
    void writeDateTimeToDevice();
    void writeCurrentDateTimeToDevice();
    void readDeviceSettings();
    void writeDeviceSettings();
    void setStandartSettings();
    void getAlgoritmResult(int operation);
    void devUnitChanged(int index);
    void devUnitSetStaticValue(int index);
    void setTzsNullButton();
    void setU24On();
    void setU24Off();
    void setHartOn();
    void setHartOff();
    void setDeviceType(int type);

private:
    void fillLists();
    void makeConnections();
    void setIcons();
    void setFixedWidths();
    void routeUnitList(bool toStaticValue);
    void fillDisplayAndSwitches(const DeviceSettings& block);
    void takeDisplayCode(DeviceSettings& block) const;
    bool serialNumberComplete();
    void switchU24(bool on, bool send);
    void switchHart(bool on, bool send);
    void switchOutput(int byte, int operation, bool on, bool send);
    void refreshSwitchButtons();

    bool clockReady();
    bool readClock(QTime& time, QDate& date);
    bool writeClock(const QDate& date, const QTime& time);
    bool acknowledged(const QByteArray& reply);
    void showClockError();

    Ui_TabDeviceConfiguration* ui;
    // The rows the connected model shows; a hidden page hides them too, so they are kept here.
    bool m_brightnessRow = true;
    bool m_contrastRow = false;
    bool m_moduleRow = false;
};

extern TabDeviceConfiguration* g_tabDeviceConfiguration;
extern int g_verifiedUnitIndex;
