#include "WheelGuard.h"

#include <QAbstractSpinBox>
#include <QApplication>
#include <QComboBox>
#include <QEvent>

namespace {

QWidget* guardedWidget(QObject* object)
{
    if (auto* spinBox = qobject_cast<QAbstractSpinBox*>(object))
        return spinBox;
    return qobject_cast<QComboBox*>(object);
}

}  // namespace

WheelGuard::WheelGuard(QObject* parent) : QObject(parent)
{
    setObjectName(QStringLiteral("wheelGuard"));
}

void WheelGuard::install()
{
    QCoreApplication* application = QCoreApplication::instance();
    if (application->findChild<WheelGuard*>(QString(), Qt::FindDirectChildrenOnly))
        return;
    application->installEventFilter(new WheelGuard(application));
}

// Every event of the application passes here, so the type is checked before any cast.
bool WheelGuard::eventFilter(QObject* watched, QEvent* event)
{
    const QEvent::Type type = event->type();
    if (type != QEvent::Polish && type != QEvent::Wheel)
        return false;
    QWidget* widget = guardedWidget(watched);
    if (!widget)
        return false;
    if (type == QEvent::Polish) {
        // Both classes ask for the focus on a wheel turn; a click or the Tab key still gives it.
        if (widget->focusPolicy() == Qt::WheelFocus)
            widget->setFocusPolicy(Qt::StrongFocus);
        return false;
    }
    if (widget->hasFocus())
        return false;
    // Filtered but not accepted: the application hands the wheel on to the parents, up to the page's scroll area.
    event->ignore();
    return true;
}
