#pragma once

#include <QWidget>

class QLineEdit;
class Ui_TabEmulationGraduation;

// Drives the calibrator's current output to its minimum, its maximum or a typed current, and
// reads and stores the output's measured minimum, maximum and current shift.
class TabEmulationGraduation : public QWidget
{
    Q_OBJECT
public:
    explicit TabEmulationGraduation(QWidget* parent = nullptr);
    ~TabEmulationGraduation() override;

    void setEditable(bool editable);

public slots:
    void setMinimumValue();
    void setMaximumValue();
    void readMinimumValue();
    void readMaximumValue();
    void writeMinimumValue();
    void writeMaximumValue();
    void readShiftValue();
    void writeShiftValue();
    void writeCurrentValue();

private:
    void makeConnections();
    void setSetPoint(int reg);
    void readInto(int reg, QLineEdit* edit);
    void writeFrom(QLineEdit* edit, int reg, int type, double high, const QString& rangeMessage);

    Ui_TabEmulationGraduation* ui;
};
