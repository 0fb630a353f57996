#pragma once

#include <QObject>

class QSocketNotifier;

// Turns SIGINT and SIGTERM into a normal quit of the event loop, so the usual exit order runs and
// the calibrator gets its release frame. The handler only writes a byte to a socket pair; the quit
// happens in the GUI thread when the notifier sees it.
class QuitOnSignal : public QObject
{
    Q_OBJECT
public:
    explicit QuitOnSignal(QObject* parent = nullptr);
    ~QuitOnSignal() override;

private:
    static void handle(int signalNumber);
    void quit();

    QSocketNotifier* m_notifier = nullptr;
};
