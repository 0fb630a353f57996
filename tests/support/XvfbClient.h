#pragma once

#include <QImage>
#include <QString>
#include <functional>

class QWidget;

// A screenshot test that starts an Xvfb server of its own and shows its widgets on it, then
// compares what the server shows with what the widgets paint.
class XvfbClient
{
public:
    // A test program's whole main: starts Xvfb and runs clientTests in a QApplication on it.
    static int main(int argc, char** argv, const std::function<int(int, char**)>& clientTests);

    // The server's screen once it stays the same a moment, so a half-drawn frame is not taken.
    static QImage settledScreen();
    static int colourCount(const QImage& image);
    // The widget is visible, paints more than a plain face and the server shows what it paints.
    static bool showsAsPainted(const QImage& screen, const QWidget* widget);
    // Where the widget is on the server's screen.
    static QImage onScreen(const QImage& screen, const QWidget* widget);
    // Saves the picture as screenshot_<name>.png beside the test program.
    static bool save(const QImage& picture, const QString& name);
};
