#pragma once

#include <QElapsedTimer>
#include <QWidget>

class QTimer;
class HartDeviceData;
class HartStatusWidget;
class TabHartInformation;
class TabHartParametrs;
class TabHartSpecific;
class TabHartUCurrentOutput;
class TabHartxAditionalStatus;
class Ui_TabHart;

// The HART page: the transmitter's pages over the HART status bar. Every HART result comes back
// here and goes to the page that shows it, with the record published alongside it; the end of
// every operation releases the busy overlay and sets the status lamps. Turning to a page reads it
// silently, once the port is home.
class TabHart : public QWidget
{
    Q_OBJECT
public:
    explicit TabHart(QWidget* parent = nullptr);
    ~TabHart() override;

    HartStatusWidget* statusWidget() const { return m_statusWidget; }
    TabHartInformation* informationPage() const { return m_information; }
    TabHartParametrs* parametrsPage() const { return m_parametrs; }
    TabHartSpecific* specificPage() const { return m_specific; }
    TabHartUCurrentOutput* currentOutputPage() const { return m_currentOutput; }
    TabHartxAditionalStatus* additionalStatusPage() const { return m_additionalStatus; }

public slots:
    void getHartResult(int command, const HartDeviceData& snapshot);
    void getHartAlgoritmResult(int algorithm, bool succeeded, const HartDeviceData& snapshot);
    void readHartDeviceAdress();
    void updateTab();
    void currentTabChanged(int index);

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void watchPort();
    void readPendingPage();
    void readPage(int index);
    void showMessage(const char* text);

    Ui_TabHart* ui;
    HartStatusWidget* m_statusWidget;
    TabHartInformation* m_information;
    TabHartParametrs* m_parametrs;
    TabHartSpecific* m_specific;
    TabHartUCurrentOutput* m_currentOutput;
    TabHartxAditionalStatus* m_additionalStatus;
    // While a HART worker holds the port, the page to read once it is home (-1: none).
    QTimer* m_portWatch;
    QElapsedTimer m_waitClock;
    int m_pendingIndex = -1;
};
