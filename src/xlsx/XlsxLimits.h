#pragma once

#include <QtGlobal>

// How much a package may unpack to; a file over them is refused before it can exhaust memory.
struct XlsxLimits
{
    qint64 partBytes = 64 * 1024 * 1024;
    qint64 totalBytes = 256 * 1024 * 1024;
};
