#pragma once

#include <QDir>
#include <QFileDialog>
#include <QString>
#include <QStringList>

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
