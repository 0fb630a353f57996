#pragma once

#include <QObject>

// Turns SIGINT and SIGTERM into the program's normal quit, so the usual exit order runs and the
// calibrator gets its release frame; quitRequested is emitted in the GUI thread. A window program on
// Windows gets no such signal: there it never emits, and the program quits through its window.
class QuitOnSignal : public QObject
{
    Q_OBJECT
public:
    explicit QuitOnSignal(QObject* parent = nullptr);
    ~QuitOnSignal() override;

signals:
    void quitRequested();
};
