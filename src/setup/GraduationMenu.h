#pragma once

#include <QWidget>

class TabEmulationGraduation;
class TabMeasurementGraduation;
class Ui_GraduationMenu;

// The graduation page: the current-output and current-input calibration pages and, in the factory
// mode, the factory-number page. Whether the calibration registers may be written is fixed at start-up.
class GraduationMenu : public QWidget
{
    Q_OBJECT
public:
    explicit GraduationMenu(QWidget* parent = nullptr);
    ~GraduationMenu() override;

    void setEditable(bool editable);
    bool isEditable() const { return m_editable; }
    void setFactory(bool factory);
    bool isFactory() const { return m_factory; }
    void applyFactory();
    void showEmulationTab();
    void showMeasurementTab();

private:
    void removeFactoryPage();

    bool m_editable = false;
    bool m_factory = false;
    Ui_GraduationMenu* ui;
    TabEmulationGraduation* m_emulation;
    TabMeasurementGraduation* m_measurement;
};
