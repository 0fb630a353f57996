#pragma once

#include <QWidget>

class HartDeviceData;

class GraphWidget;
class QAction;
class QComboBox;
class QDoubleSpinBox;
class QGroupBox;
class QLabel;
class QMutex;
class Ui_TabMeasurement;

// The measurement page: starts and stops the device object's poll in one of three modes, shows the
// channel row and a live plot, and adds the current measurement to the results as a point or a group.
// It never touches the serial port; the device object tells it by signals what the poll did.
class TabMeasurement : public QWidget
{
    Q_OBJECT
public:
    // The HART operation that reads the transmitter's range and primary variable before a HART poll.
    static constexpr int hartStartOperation = 22;

    explicit TabMeasurement(QWidget* parent = nullptr);
    ~TabMeasurement() override;

    GraphWidget* graphWidget() const { return m_graph; }
    bool isPolling() const { return m_polling; }

signals:
    void startPollSignal();

public slots:
    void startPoll();
    void startPollButton();
    void continuePoll();
    void stopPoll();
    void comboBoxGraphTypeChanged(int type);
    void comboBoxEtalonChanged(int index);
    void setPollMode(int mode);
    void loadCurrentGroup();
    void changeCurrentGroup(int group);
    void updateLinen();
    void pollModeChanged(int mode);
    void setHartIntervalSourse(bool useDevice);
    void getHartAlgotitmFinished(int id);
    void setFixedEtalon(double value);
    void onFixedValueChanged(double value);

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // What this start of a HART poll has learnt from its operation: the range comes from the
    // command 15 reply, the start goes on only when command 1 answered too.
    struct HartStart
    {
        bool pending = false;
        bool rangeAnswered = false;
        bool primaryAnswered = false;
        // The first code of the two replies that the operator is told about; 0 for none.
        quint8 shownCode = 0;
    };
    struct HartRange
    {
        bool known = false;
        quint8 unit = 0;
        // In single precision, as the transmitter sent them.
        float lower = 0;
        float upper = 0;
    };

    void setupControls();
    void setupGraph();
    QWidget* makeGraphTypePanel();
    QWidget* makeEtalonPanel();
    void connectSignals();
    void setControlsPolling(bool polling);
    void setPointControlsEnabled(bool enabled);
    void takeFirstCycle();
    void enterPolling(bool clearPlot);
    void leavePolling();
    void applyPendingPollMode();
    void updatePressureUnit();
    void setManualEntryVisible(bool visible);
    void setHartCurveVisible(bool visible);
    void setChannelColumnsVisible(bool visible);
    void fitTableHeight();
    void keepAddPointKey();
    void startHartRangeRead();
    void takeHartResult(int command, const HartDeviceData& snapshot);
    void setActionsVisible(bool visible);
    QString pressureTitle() const;

    Ui_TabMeasurement* ui;
    GraphWidget* m_graph = nullptr;
    QComboBox* m_graphTypeCombo = nullptr;
    QComboBox* m_etalonCombo = nullptr;
    QDoubleSpinBox* m_fixedEtalonSpin = nullptr;
    QLabel* m_fixedEtalonUnit = nullptr;
    QGroupBox* m_etalonGroup = nullptr;
    bool m_polling = false;
    int m_graphType = 0;
    QMutex* m_mutex;
    quint8 m_lastUnit = 0;
    // A mode asked for while polling runs or pauses; applied when polling stops.
    int m_pendingPollMode = -1;
    HartStart m_hartStart;
    HartRange m_hartRange;
};
