#pragma once

#include <QByteArray>
#include <QtGlobal>

// CRC-16/MODBUS, shared by the calibrator's frames and its archive records. The frame code uses the
// calibrator's split-table form, the archive records its bit-by-bit form; both give the same value.
class Crc16
{
public:
    static quint16 tableModbus(const QByteArray& data);
    static quint16 bitwiseModbus(const quint8* data, quint16 count);
};
