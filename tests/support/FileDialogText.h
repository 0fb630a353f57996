#pragma once

#include <QDir>
#include <QFileDialog>
#include <QString>
#include <QStringList>
#include <QWidget>

// True the first time a test's timer meets the modal widget. One met before that is still up did not
// take its answer: it is closed, so that it cannot hold the test.
inline bool firstLook(QWidget* modal)
{
    if (modal->property("read").toBool()) {
        modal->close();
        return false;
    }
    modal->setProperty("read", true);
    return true;
}

// What a file dialog shows the operator: its kind, title, file types and folder.
inline QString describe(const QFileDialog* dialog)
{
    QString kind = QStringLiteral("other");
    const QFileDialog::FileMode mode = dialog->fileMode();
    if (dialog->acceptMode() == QFileDialog::AcceptOpen && mode == QFileDialog::ExistingFile)
        kind = QStringLiteral("open");
    else if (dialog->acceptMode() == QFileDialog::AcceptSave && mode == QFileDialog::AnyFile)
        kind = QStringLiteral("save");
    else if (mode == QFileDialog::Directory || dialog->testOption(QFileDialog::ShowDirsOnly))
        kind = QStringLiteral("folder");
    return QStringList({kind, dialog->windowTitle(), dialog->nameFilters().join(QStringLiteral(";;")),
                        dialog->directory().absolutePath()})
        .join(QStringLiteral(" | "));
}
