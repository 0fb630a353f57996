#include "HartDeviceData.h"
#include "HartFrame.h"
#include "HartPackedAscii.h"

#include <QByteArray>
#include <QtGlobal>
#include <cstdint>
#include <cstring>

namespace {

// Every command the master sends, with 9 and 200 for a decoder it does not use and one it lacks.
// The seeds pick them by index: reply_NNN holds the family transmitter's long-frame reply to
// command NNN, short_000 the short-frame identity.
const int Commands[] = {0,  1,  6,  7,  9,  12, 13, 14, 15, 17, 18,  20,  22,  34,  35,  38,  40,  42,  43,  44,  45,  46,  47,
                        48, 59, 80, 81, 82, 83, 122, 123, 128, 129, 130, 131, 132, 133, 134, 135, 136, 145, 146, 147, 148, 200};

HartDeviceData connected()
{
    HartDeviceData d;
    d.uniqueId = QByteArray::fromHex("1A01123456");
    d.pollingAddressByte = 0x80;
    return d;
}

bool samePlainBytes(const HartDeviceData& a, const HartDeviceData& b)
{
    const auto* headA = reinterpret_cast<const char*>(&a.responseCode);
    const auto* headB = reinterpret_cast<const char*>(&b.responseCode);
    const size_t head = size_t(reinterpret_cast<const char*>(&a.present) + 1 - headA);
    const auto* tailA = reinterpret_cast<const char*>(&a.pvUnit);
    const auto* tailB = reinterpret_cast<const char*>(&b.pvUnit);
    const size_t tail = size_t(reinterpret_cast<const char*>(a.additionalStatus) + sizeof a.additionalStatus - tailA);
    return std::memcmp(headA, headB, head) == 0 && std::memcmp(tailA, tailB, tail) == 0 && a.uniqueId == b.uniqueId;
}

}  // namespace

// The checks log every refusal; printing them would only slow the search.
extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    return 0;
}

// Any reply the calibrator may hand back: the checks and decoders must neither crash nor read past
// the reply, and a refused reply must leave the record exactly as it was. The first byte picks the
// command and the address form, the second whether the rest goes in as text or as frame bytes.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2)
        return 0;
    const int command = Commands[data[0] % (sizeof Commands / sizeof Commands[0])];
    const int form = (data[0] & 0x80) ? HartFrame::ShortAddress : HartFrame::LongAddress;
    const QByteArray rest(reinterpret_cast<const char*>(data + 2), int(size - 2));
    QByteArray reply = (data[1] & 1) ? rest : rest.toHex();

    HartDeviceData device = connected();
    const HartDeviceData before = device;
    if (!parseHartResponse(reply, device, command, form) && !samePlainBytes(device, before))
        __builtin_trap();

    const QString text = unpackAscii(reinterpret_cast<const quint8*>(rest.constData()), rest.size());
    if (text.size() > rest.size() * 4 / 3)
        __builtin_trap();
    // Whole groups of three bytes round-trip; a shorter tail's last bits are never written.
    QByteArray packed(rest.size(), '\0');
    if (rest.size() % 3 == 0 && packAscii(text, reinterpret_cast<quint8*>(packed.data()), packed.size())
        && unpackAscii(reinterpret_cast<const quint8*>(packed.constData()), packed.size()) != text)
        __builtin_trap();
    return 0;
}
