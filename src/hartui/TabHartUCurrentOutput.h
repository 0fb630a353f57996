#pragma once

#include <QMetaObject>
#include <QWidget>
#include <array>
#include <atomic>

class HartDeviceData;
class ParametrPoller;
class QLineEdit;
class QPushButton;
class QRadioButton;
class Ui_TabHartUCurrentOutput;

// The transmitter's loop current: a fixed current (command 40) and the output trim at 4 and
// 20 mA (commands 45 and 46) against the current the calibrator measures, which the page's poller
// reads (value 5) while the transmitter sits at a fixed current. Usable only at polling address 0
// with a 4-20 or 20-4 mA output.
class TabHartUCurrentOutput : public QWidget
{
    Q_OBJECT
public:
    explicit TabHartUCurrentOutput(QWidget* parent = nullptr);
    ~TabHartUCurrentOutput() override;

    void read(bool showMessages);
    void onOutputTypeRead(const HartDeviceData& data);
    void enableForAddress(const HartDeviceData& data);
    ParametrPoller* currentPoller() const { return poller; }

public slots:
    // Poller thread: the calibrator read, then the display by queued calls.
    void pollCurrent();
    void stopPollCurrent();
    void getAlgoritmFinished(int algorithm, bool succeeded);
    void setFixedCurrent();
    void unsetFixedCurrent();
    void startTrimLo();
    void startTrimHi();
    void setZfnValLo();
    void setZfnValHi();
    void trimLo();
    void trimHi();
    void resetTrimElement();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    struct TrimRow
    {
        QPushButton* set;
        QPushButton* stop;
        QLineEdit* value;
        QPushButton* fromCalibrator;
        QPushButton* trim;
        QPushButton* otherSet;
    };

    void initUi();
    void resetPresets();
    void setCurrentPresets();
    void updateTrimTexts();
    void clearPresetSelection();
    bool selectedCurrent(float& current);
    void startFixedCurrent(float current);
    void startTrim(const TrimRow& row, float point);
    void insertMeasured(QLineEdit* field);
    void trim(QLineEdit* field, bool low);
    void readTrimValues(HartDeviceData& staged);
    bool refuse(QWidget* field, const QString& message);
    TrimRow lowRow() const;
    TrimRow highRow() const;

    Ui_TabHartUCurrentOutput* ui;
    qint8 lastOutputType = -1;
    bool presetsAllowed = true;
    std::array<float, 7> presetCurrents = {3.8f, 4.0f, 8.0f, 12.0f, 16.0f, 20.0f, 20.8f};
    std::array<QRadioButton*, 7> presetButtons{};
    float otherCurrentMin = 3.5f;
    float otherCurrentMax = 23.0f;
    ParametrPoller* poller;
    // Written by the poller thread; valid only while its poll runs.
    std::atomic<float> measuredCurrent{0.0f};
    std::atomic<bool> measuredCurrentValid{false};
    float trimPointLo = 4.0f;
    float trimPointHi = 20.0f;
    // The current the last operation 17 asked for; zero leaves fixed current mode.
    float requestedCurrent = 0.0f;
    QMetaObject::Connection algorithmConnection;
    QMetaObject::Connection stopPollsConnection;
};
