#pragma once

#include <QByteArray>

// One HART frame on the transmitter's side of the line, without preambles: a master request read
// from the bytes the calibrator passes on, or the reply the transmitter builds.
struct HartSlaveFrame
{
    bool longAddress = true;
    QByteArray address;  // 5 bytes in the long form, 1 in the short
    int command = 0;
    QByteArray body;     // a request's data; a reply's response code, status and data

    // False for anything a transmitter would not take as a master request to some address:
    // another delimiter, a short frame, a byte count past the end or a wrong check byte.
    static bool fromRequest(const QByteArray& bytes, HartSlaveFrame& frame);
    // The reply frame (acknowledge delimiter) with its check byte.
    QByteArray replyBytes() const;
};
