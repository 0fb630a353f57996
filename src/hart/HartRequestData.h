#pragma once

#include <QByteArray>

class HartDeviceData;

// Request data of a HART command, encoded from the record the values were staged in: numbers
// big-endian as they travel, byte blocks as they stand. Empty for commands that send no data.
QByteArray hartRequestData(int command, const HartDeviceData& staged);
