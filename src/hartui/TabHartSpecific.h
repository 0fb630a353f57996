#pragma once

#include <QWidget>
#include <atomic>

class HartDeviceData;
class ParametrPoller;
class QLineEdit;
class Ui_TabHartSpecific;

// The device-specific settings of the project's own transmitters (commands 128 to 148, each group
// by its own support flag), the factory restore, and the two-point pressure trim (commands 80 to
// 83) against the calibrator's reference pressure, which the page's poller reads while a point is
// being set.
class TabHartSpecific : public QWidget
{
    Q_OBJECT
public:
    explicit TabHartSpecific(QWidget* parent = nullptr);
    ~TabHartSpecific() override;

    void showOutputSignal(const HartDeviceData& data);
    void showSquareRootSettings(const HartDeviceData& data);
    void showIndication(const HartDeviceData& data);
    void showProtection(const HartDeviceData& data);
    void showScaleShiftPressure(const HartDeviceData& data);
    void showScaleShiftCurrent(const HartDeviceData& data);
    void showScaleShiftUnit(const HartDeviceData& data);
    void enableTrimGroup(bool enabled);
    void enableWriteButtons(const HartDeviceData& data);
    void showTrimLimits(const HartDeviceData& data);
    void beginTrimByTwoPoints(const HartDeviceData& data);
    void onTrimPointWritten(const HartDeviceData& data);
    ParametrPoller* pressurePoller() const { return poller; }

public slots:
    void read(bool isMessageShowed);
    void read();
    void write();
    void setFactorySettings();
    void readTrimByTwoPointsParametrs();
    void nextTrimByTwoPoints();
    void stopTrimByTwoPoints();
    void clearTrimByTwoPoints();
    // Poller thread: the calibrator read, then the display by queued calls.
    void pollPreashure();
    void stopPollPreashure();
    void setCurrentZfnPresure();
    void getHartAlgoritmFinished(int algorithm);

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void initUi();
    void setupFieldWidths();
    void resetFields();
    void applyDeviceVariant(quint16 typeKey);
    bool stageEdits(HartDeviceData& staged, int& mask);
    bool stageOutput(HartDeviceData& staged, int& mask);
    bool stageSquareRoot(HartDeviceData& staged, int& mask);
    bool stageIndication(HartDeviceData& staged, int& mask);
    bool stageProtection(HartDeviceData& staged, int& mask);
    bool stageScaleShift(QLineEdit* field, float& shift, int bit, int& mask);
    bool isFieldActive(const QWidget* widget) const;
    static void setWidgetActive(QWidget* widget, bool active);
    bool refuse(QWidget* field);
    void onTrimButton();

    Ui_TabHartSpecific* ui;
    ParametrPoller* poller;
    // Written by the poller thread; valid only while its poll runs.
    std::atomic<double> lastReferencePressure{0.0};
    std::atomic<bool> referenceValid{false};
    // Unit index of the trim values; -1 when the transmitter's unit is not in the table.
    std::atomic<int> trimUnitIndex{-1};
    quint8 trimStep = 0;
    bool trimActive = false;
    QMetaObject::Connection algorithmConnection;
};
