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
    if (request.mode == FileChooser::Open)
        return QFileDialog::getOpenFileName(request.parent, request.title, request.path, request.filter);
    return QFileDialog::getSaveFileName(request.parent, request.title, request.path, request.filter);
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
