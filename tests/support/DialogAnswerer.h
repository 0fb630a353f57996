#pragma once

#include <QHash>
#include <QObject>
#include <functional>

class QDialog;
class QEvent;
class QFileDialog;
class QString;

// Answers each modal dialog that comes up while it lives, once, as soon as the dialog is ready: shown,
// the active window on top of every other modal one, and for a file dialog with its folder read. The
// platform activates a shown window through the event loop, and the activation moves the focus into the
// dialog's first field; an answer given before it meets a dialog whose focus is still to move.
// A dialog the answer leaves up is closed, so that it cannot hold the test; so is one that is not ready
// within a step's bound.
class DialogAnswerer : public QObject
{
public:
    using Answer = std::function<void(QDialog* dialog)>;

    explicit DialogAnswerer(Answer answer);
    ~DialogAnswerer() override;

    // Types the path into the file dialog's name field, as the operator does, and presses its Open or
    // Save button. QFileDialog::selectFile() would leave the name field as it is: it has the focus.
    static void choosePath(QFileDialog* dialog, const QString& path);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Progress
    {
        bool folderRead = false;
        bool answered = false;
    };

    void follow(QDialog* dialog);
    void folderRead(QDialog* dialog);
    void answerWhenReady(QDialog* dialog);
    void answer(QDialog* dialog);
    void giveUp(QDialog* dialog);

    Answer m_answer;
    QHash<const QDialog*, Progress> m_followed;
};
