#pragma once

#include <QObject>

class QSocketNotifier;

// Turns SIGINT and SIGTERM into the program's normal quit, so the usual exit order runs and the
// calibrator gets its release frame. The handler only writes a byte to a socket pair; quitRequested
// is emitted in the GUI thread when the notifier sees it.
class QuitOnSignal : public QObject
{
    Q_OBJECT
public:
    explicit QuitOnSignal(QObject* parent = nullptr);
    ~QuitOnSignal() override;

signals:
    void quitRequested();

private:
    static void handle(int signalNumber);
    void quit();

    QSocketNotifier* m_notifier = nullptr;
};
