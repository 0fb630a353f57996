#pragma once

#include <QWidget>

// The verification-settings page: the conditions and protocol parameters of a verification.
class TabConfiguration : public QWidget
{
    Q_OBJECT
public:
    explicit TabConfiguration(QWidget* parent = nullptr);
    ~TabConfiguration() override;

    void applySettings(bool silent);
    void setDeviceSerialNumber(unsigned int number);
    // Reads the ambient conditions from the thermohygrometer when the read mode says so at a
    // measurement start; true when they were read.
    bool readConditionsOnStart();
    unsigned int deviceSerialNumber() const { return m_deviceSerialNumber; }

signals:
    void changeMeasureType(int pollMode);

public slots:
    void loadSettings();

private:
    // Until the page has its device table, the number moved in from the archive is kept here.
    unsigned int m_deviceSerialNumber = 0;
};

extern TabConfiguration* g_tabConfiguration;
