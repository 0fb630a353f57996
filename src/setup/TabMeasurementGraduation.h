#pragma once

#include <QWidget>

class Ui_TabMeasurementGraduation;

// Calibrates the calibrator's current input: reads its coefficient and the current it measures,
// computes the coefficient that makes it measure the reference current, and stores it.
class TabMeasurementGraduation : public QWidget
{
    Q_OBJECT
public:
    explicit TabMeasurementGraduation(QWidget* parent = nullptr);
    ~TabMeasurementGraduation() override;

    void setEditable(bool editable);

public slots:
    void writeData();
    void readData();
    void computeCoefficient();
    void computeCoefficient(QString);

private:
    Ui_TabMeasurementGraduation* ui;
};
