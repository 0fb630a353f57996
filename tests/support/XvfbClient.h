#pragma once

#include <QImage>
#include <QString>
#include <functional>

class QWidget;

// A screenshot test that starts an Xvfb server of its own and runs its program again as a client of
// that server, with an environment variable naming the server's frame file; the client compares
// what the server shows with what its widgets paint.
class XvfbClient
{
public:
    // A test program's whole main: the first run starts Xvfb and runs the program again, with the
    // same arguments, as its client, which runs clientTests in a QApplication on that server.
    static int main(int argc, char** argv, const std::function<int(int, char**)>& clientTests);

    // The screen of the server that main() started, once two reads a moment apart agree, so a
    // half-drawn frame is not taken.
    static QImage settledScreen();
    static int colourCount(const QImage& image);
    // The widget is visible, paints more than a plain face and the server shows what it paints.
    static bool showsAsPainted(const QImage& screen, const QWidget* widget);
    // Where the widget is on the server's screen.
    static QImage onScreen(const QImage& screen, const QWidget* widget);
    // Saves the picture as screenshot_<name>.png beside the test program.
    static bool save(const QImage& picture, const QString& name);
};
