#pragma once

#include <QWidget>

class HartDeviceData;
class QComboBox;
class QLineEdit;
class Ui_TabHartParametrs;

// The output configuration of a HART transmitter: range, damping, transfer function and PV unit
// (commands 15, 14 and 1 read, 44, 35, 34 and 47 write), the sensor limits and the PV zero. A unit
// change converts the range fields into the new unit; the sensor limits stay as read. A write
// sends the range when it differs from what the page showed in the unit it shows now.
class TabHartParametrs : public QWidget
{
    Q_OBJECT
public:
    explicit TabHartParametrs(QWidget* parent = nullptr);
    ~TabHartParametrs() override;

    void showOutputInfo(const HartDeviceData& data);
    void showSensorInfo(const HartDeviceData& data);
    void showVariableUnits(const HartDeviceData& data);
    void enableWriteButton();

public slots:
    void readParametrs(bool showMessages);
    void readParametrs();
    void writeParametrs();
    void setNull();
    void measureChanged(int index);

private:
    struct Edits;

    void fillCombos();
    void resetFields();
    void selectUnitCombo(QComboBox* combo, quint8 code, int index);
    bool rangeEdited(const Edits& edits) const;
    bool collectEdits(Edits& edits);
    bool readFloat(QLineEdit* field, float& value);
    bool refuse(QWidget* field);

    Ui_TabHartParametrs* ui;
    int previousUnitIndex = -1;
    int previousUnitCode = 0;
    // The range as read, carried through every unit change as the fields are.
    QString shownUpper;
    QString shownLower;
};
