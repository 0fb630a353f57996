#pragma once

#include <QString>
#include <QWidget>

class QComboBox;
class Ui_TabSearchDevicesZFN;
struct DeviceInfo;

// The connection page: the COM port or range of ports to scan, the device search, the calibrators
// found, connection by selecting a row, the ping and the release. The serial work itself is the
// device object's; its end arrives here through queued signals.
class TabSearchDevicesZFN : public QWidget
{
    Q_OBJECT
public:
    explicit TabSearchDevicesZFN(QWidget* parent = nullptr);
    ~TabSearchDevicesZFN() override;

    void loadSettings();
    void saveSettings();
    void initTable();
    void setColumnWidths();
    void fillPortCombos();

public slots:
    void checkCurrentDevice();
    void updatePortsList();
    void setSearchSingleDevice(bool on);
    void setSearchDeviceMode(bool on);
    void on_tableWidget_currentCellChanged(int currentRow, int currentColumn, int previousRow, int previousColumn);
    void on_comboBox_comIntervalMin_currentIndexChanged(int index);
    void on_comboBox_comIntervalMax_currentIndexChanged(int index);
    void searchDevices();
    void disconnectDevice();
    void searchFinished();

private:
    void makeConnections();
    void clearTable();
    void appendDeviceRow(const DeviceInfo& device);
    void setDeviceButtonsEnabled(bool enabled);
    static void selectStoredPort(QComboBox* combo, int index);

    Ui_TabSearchDevicesZFN* ui;
};

extern TabSearchDevicesZFN* g_tabSearchDevices;
extern QString g_headerComPort;
extern QString g_headerDeviceType;
