#include "WaitInputFilter.h"

#include <QAction>
#include <QKeyEvent>

WaitInputFilter::WaitInputFilter(const QAction* quitAction, QObject* parent)
    : QObject(parent), m_quitAction(quitAction)
{
}

bool WaitInputFilter::eventFilter(QObject*, QEvent* event)
{
    if (isQuitKey(event)) {
        emit quitRequested();
        return true;
    }
    return dynamic_cast<const QInputEvent*>(event) != nullptr || event->type() == QEvent::Shortcut;
}

// The key comes as a key press, or as a shortcut where the action is enabled; its shortcut override,
// dropped as input, comes before either.
bool WaitInputFilter::isQuitKey(const QEvent* event) const
{
    QKeySequence pressed;
    if (event->type() == QEvent::Shortcut) {
        pressed = static_cast<const QShortcutEvent*>(event)->key();
    } else if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<const QKeyEvent*>(event);
        pressed = QKeySequence(int(key->modifiers() & ~Qt::KeypadModifier) | key->key());
    }
    return !pressed.isEmpty() && pressed == m_quitAction->shortcut();
}
