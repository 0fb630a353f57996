#include "AsciiUail.h"

#include <QByteArray>
#include <cstdint>

// Any bytes a port may deliver: the reply checks and the hex decoder must neither crash nor read
// outside their buffers, and a decoded field must never be longer than the reply it came from.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray input(reinterpret_cast<const char*>(data), int(size));

    QByteArray buffer = input;
    if (AsciiUail::unpackPackage(buffer, input.isEmpty() ? 1 : quint8(input.at(0))) && buffer.size() > input.size())
        __builtin_trap();

    QByteArray withAddress = input;
    quint8 address = 0;
    AsciiUail::unpackPackageGetAddress(withAddress, address);
    AsciiUail::checkPackageNoErrorCode(withAddress);
    AsciiUail::errorCodeText(withAddress, QStringLiteral("ЗФН"));

    quint8 bytes[40];
    const int written = AsciiUail::hexPairsToBytes(bytes, input, int(sizeof bytes));
    if (written > int(sizeof bytes) || (written >= 0 && !AsciiUail::isHexText(input)))
        __builtin_trap();
    return 0;
}
