#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

// A screenshot test that starts an Xvfb server of its own and runs its program again as a client of
// that server, with an environment variable naming the server's frame file; the client compares
// what the server shows with what its widgets paint.
class XvfbClient
{
public:
    // True when the client ran and passed; output holds what it printed.
    static bool runSelf(const char* frameVariable, QByteArray* output);

    // The screen once two reads a moment apart agree, so a half-drawn frame is not taken.
    static QImage settledScreen(const QString& framePath);
    static int colourCount(const QImage& image);
    // Share of the pixels that differ between the two images, 0 to 1.
    static double difference(const QImage& a, const QImage& b);
};
