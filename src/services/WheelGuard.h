#pragma once

#include <QObject>

// Spin boxes and combo boxes take the wheel only while they have the focus, and the wheel never
// gives it to them: a wheel turned to scroll a settings page passes over its fields and scrolls the
// page, instead of changing the value under the pointer. One guard on the application serves every
// page, the fields built at run time included; other widgets (plots, lists) keep their wheel.
class WheelGuard : public QObject
{
    Q_OBJECT
public:
    // Puts the guard on the running application; a second call changes nothing. Widgets polished
    // before it keep their wheel focus, so start-up calls it before the first window is built.
    static void install();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    explicit WheelGuard(QObject* parent);
};
