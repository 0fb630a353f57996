#pragma once

#include <QString>
#include <functional>

class QWidget;

// Every file and folder dialog of the workstation passes through here, so that tests can pick a
// path or cancel instead of facing a modal dialog.
class FileChooser
{
public:
    enum Mode { Open, Save, Folder };

    struct Request
    {
        Mode mode;
        QWidget* parent;
        QString title;
        // The start folder, or for a save the proposed file name.
        QString path;
        QString filter;
        // Where a save dialog reports the filter the user picked; may be null.
        QString* selectedFilter = nullptr;
    };

    using Sink = std::function<QString(const Request&)>;

    // The chosen path; empty when the user cancelled.
    static QString choose(const Request& request);
    // An empty sink brings the real dialogs back.
    static void setSink(Sink sink);
};
