#include "FileChooser.h"

#include <QFileDialog>

namespace {

FileChooser::Sink& sink()
{
    static FileChooser::Sink chooser;
    return chooser;
}

QString showDialog(const FileChooser::Request& request)
{
    switch (request.mode) {
    case FileChooser::Open:
        return QFileDialog::getOpenFileName(request.parent, request.title, request.path, request.filter);
    case FileChooser::Save:
        return QFileDialog::getSaveFileName(request.parent, request.title, request.path, request.filter,
                                            request.selectedFilter);
    case FileChooser::Folder:
        return QFileDialog::getExistingDirectory(request.parent, request.title, request.path,
                                                 QFileDialog::ShowDirsOnly);
    }
    return QString();
}

}  // namespace

QString FileChooser::choose(const Request& request)
{
    return sink() ? sink()(request) : showDialog(request);
}

void FileChooser::setSink(Sink chooser)
{
    sink() = std::move(chooser);
}
