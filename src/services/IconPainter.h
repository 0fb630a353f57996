#pragma once

#include <QImage>
#include <QString>
#include <QStringList>

// The workstation's own pictures for its buttons and actions, drawn with QPainter so that the
// program can write a complete icon set on its first start.
class IconPainter
{
public:
    static constexpr int pictureSize = 32;

    // An empty transparent picture for a name without a drawing.
    static QImage draw(const QString& name);
    // Creates the folder and writes name + ".png" for every name; false when a file could not be written.
    static bool writeSet(const QString& folder, const QStringList& names);

private:
    static bool writePicture(const QString& path, const QImage& picture);
};
