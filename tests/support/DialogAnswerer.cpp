#include "DialogAnswerer.h"

#include "BoundedWait.h"

#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QEvent>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <QtGlobal>

DialogAnswerer::DialogAnswerer(Answer answer)
    : m_answer(std::move(answer))
{
    qApp->installEventFilter(this);
}

DialogAnswerer::~DialogAnswerer()
{
    qApp->removeEventFilter(this);
}

void DialogAnswerer::choosePath(QFileDialog* dialog, const QString& path)
{
    dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(path);
    const QDialogButtonBox::StandardButton button =
        dialog->acceptMode() == QFileDialog::AcceptSave ? QDialogButtonBox::Save : QDialogButtonBox::Open;
    dialog->findChild<QDialogButtonBox*>(QStringLiteral("buttonBox"))->button(button)->click();
}

bool DialogAnswerer::eventFilter(QObject* watched, QEvent* event)
{
    auto* dialog = qobject_cast<QDialog*>(watched);
    if (dialog && dialog->isModal()) {
        if (event->type() == QEvent::Show)
            follow(dialog);
        else if (event->type() == QEvent::WindowActivate)
            answerWhenReady(dialog);
    }
    return QObject::eventFilter(watched, event);
}

// The model reads a folder in a thread of its own and tells it through the event loop, which runs only
// once the dialog is shown: the folder the dialog opens in cannot be read before it is followed.
void DialogAnswerer::follow(QDialog* dialog)
{
    if (m_followed.contains(dialog))
        return;
    auto* fileDialog = qobject_cast<QFileDialog*>(dialog);
    auto* model = fileDialog ? fileDialog->findChild<QFileSystemModel*>() : nullptr;
    m_followed.insert(dialog, Progress{!model, false});
    connect(dialog, &QObject::destroyed, this, [this, dialog] { m_followed.remove(dialog); });
    if (model)
        connect(model, &QFileSystemModel::directoryLoaded, this, [this, fileDialog](const QString& folder) {
            if (QDir(folder) == fileDialog->directory())
                folderRead(fileDialog);
        });
    QTimer::singleShot(BoundedWait::stepMs, this, [this, guard = QPointer<QDialog>(dialog)] {
        if (guard)
            giveUp(guard);
    });
    answerWhenReady(dialog);
}

void DialogAnswerer::folderRead(QDialog* dialog)
{
    const auto progress = m_followed.find(dialog);
    if (progress == m_followed.end())
        return;
    progress->folderRead = true;
    answerWhenReady(dialog);
}

void DialogAnswerer::answerWhenReady(QDialog* dialog)
{
    const auto progress = m_followed.find(dialog);
    if (progress == m_followed.end() || progress->answered || !progress->folderRead || !dialog->isVisible()
        || !dialog->isActiveWindow() || QApplication::activeModalWidget() != dialog)
        return;
    progress->answered = true;
    // Out of the event or the signal that made it ready: the answer may open the next dialog.
    QMetaObject::invokeMethod(
        this,
        [this, guard = QPointer<QDialog>(dialog)] {
            if (guard)
                answer(guard);
        },
        Qt::QueuedConnection);
}

void DialogAnswerer::answer(QDialog* dialog)
{
    QPointer<QDialog> guard(dialog);
    m_answer(dialog);
    if (guard && guard->isVisible())
        guard->close();
}

void DialogAnswerer::giveUp(QDialog* dialog)
{
    const auto progress = m_followed.find(dialog);
    if (progress == m_followed.end() || progress->answered || !dialog->isVisible())
        return;
    progress->answered = true;
    qWarning("%s was not ready to answer: folder read %d, active %d", dialog->metaObject()->className(),
             int(progress->folderRead), int(dialog->isActiveWindow()));
    dialog->close();
}
