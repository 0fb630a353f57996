#pragma once

#include <QObject>

class QAction;

// The user input that comes while the window's thread waits in an exchange of its own. A close of
// a window goes through, and the quit action's key asks for the quit even while the busy overlay
// has the action disabled: both ways out cut the exchange at once. The rest is dropped, since
// held back it would fall on whatever the exchange shows when it ends.
class WaitInputFilter : public QObject
{
    Q_OBJECT
public:
    WaitInputFilter(const QAction* quitAction, QObject* parent);

signals:
    void quitRequested();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool isQuitKey(const QEvent* event) const;

    const QAction* m_quitAction;
};
