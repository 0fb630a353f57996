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

signals:
    void changeMeasureType(int pollMode);

public slots:
    void loadSettings();
};

extern TabConfiguration* g_tabConfiguration;
