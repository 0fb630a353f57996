#pragma once

#include <QWidget>

class Ui_TabFactorySettings;

// Reads and writes the calibrator's factory (serial) number; present only in the factory mode.
class TabFactorySettings : public QWidget
{
    Q_OBJECT
public:
    explicit TabFactorySettings(QWidget* parent = nullptr);
    ~TabFactorySettings() override;

public slots:
    void readFactorySettings();
    void writeFactorySettings();

private:
    Ui_TabFactorySettings* ui;
};
