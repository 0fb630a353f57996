#include "HartFrame.h"

#include "HartDeviceData.h"
#include "HartReplyData.h"
#include "HartReplyDecoder.h"
#include "HartResponseCodes.h"

#include <QDebug>
#include <cctype>

namespace {

// Delimiter by frame type (row) and address form (column).
constexpr quint8 Delimiters[3][2] = {{0x02, 0x82}, {0x06, 0x86}, {0x01, 0x81}};
constexpr int LongAddressBytes = 5;
constexpr int MaxDataBytes = 255;
constexpr int StatusBytes = 2;
// A transmitter in burst mode sets this bit in the first address byte of its replies.
constexpr char BurstBit = 0x40;
constexpr quint8 CommErrorBit = 0x80;

int addressBytes(int addressForm)
{
    return addressForm == HartFrame::LongAddress ? LongAddressBytes : 1;
}

QByteArray addressOf(const HartDeviceData& device, int addressForm)
{
    return addressForm == HartFrame::LongAddress ? device.uniqueId : QByteArray(1, char(device.pollingAddressByte));
}

bool sameAddress(QByteArray received, QByteArray expected)
{
    if (received.size() != expected.size() || received.isEmpty())
        return false;
    received[0] = char(received.at(0) & ~BurstBit);
    expected[0] = char(expected.at(0) & ~BurstBit);
    return received == expected;
}

quint8 xorOf(const QByteArray& bytes, int count)
{
    quint8 check = 0;
    for (int i = 0; i < count; ++i)
        check ^= quint8(bytes.at(i));
    return check;
}

int byteAt(const QByteArray& bytes, int index)
{
    return index < bytes.size() ? quint8(bytes.at(index)) : -1;
}

bool isHexText(const QByteArray& text)
{
    if (text.size() % 2 != 0)
        return false;
    for (const char c : text) {
        if (!std::isxdigit(static_cast<unsigned char>(c)))
            return false;
    }
    return true;
}

bool refuse(const char* what)
{
    qDebug() << "UniversalCommands::parseHartResponse" << what;
    return false;
}

void report(HartReplyOutcome* outcome, HartReplyOutcome value)
{
    if (outcome)
        *outcome = value;
}

}  // namespace

bool buildHartFrame(QByteArray& data, const HartDeviceData& device, quint8 command, int addressForm, int frameType)
{
    const bool knownForm = addressForm == HartFrame::ShortAddress || addressForm == HartFrame::LongAddress;
    if (!knownForm || frameType < HartFrame::MasterToSlave || frameType > HartFrame::Burst || data.size() > MaxDataBytes)
        return false;
    const QByteArray address = addressOf(device, addressForm);
    if (address.size() != addressBytes(addressForm))
        return false;
    QByteArray frame;
    frame.reserve(3 + address.size() + data.size() + 1);
    frame += char(Delimiters[frameType][addressForm]);
    frame += address;
    frame += char(command);
    frame += char(data.size());
    frame += data;
    frame += char(xorOf(frame, frame.size()));
    data = frame.toHex().toUpper();
    return true;
}

bool parseHartResponse(QByteArray& reply, HartDeviceData& device, int expectedCommand, int addressForm,
                       HartReplyOutcome* outcome)
{
    report(outcome, HartReplyOutcome::Invalid);
    if (addressForm != HartFrame::ShortAddress && addressForm != HartFrame::LongAddress)
        return refuse("bad adress form");
    if (!isHexText(reply))
        return refuse("bad hex");
    reply = QByteArray::fromHex(reply);

    const int delimiter = Delimiters[HartFrame::SlaveToMaster][addressForm];
    if (byteAt(reply, 0) != delimiter) {
        qDebug() << "UniversalCommands::parseHartResponse bad slaveToMasterB" << byteAt(reply, 0) << delimiter;
        return false;
    }
    const int addressSize = addressBytes(addressForm);
    const QByteArray address = reply.mid(1, addressSize);
    const QByteArray expectedAddress = addressOf(device, addressForm);
    if (!sameAddress(address, expectedAddress)) {
        qDebug() << "UniversalCommands::parseHartResponse bad adress" << address.toHex() << expectedAddress.toHex();
        return false;
    }
    const int commandAt = 1 + addressSize;
    if (byteAt(reply, commandAt) != expectedCommand) {
        qDebug() << "UniversalCommands::parseHartResponse bad command" << expectedCommand;
        return false;
    }
    const int countAt = commandAt + 1;
    const int count = byteAt(reply, countAt);
    const int checkAt = countAt + 1 + count;
    if (count < StatusBytes || checkAt >= reply.size())
        return refuse("bad lenght");
    if (xorOf(reply, checkAt) != quint8(reply.at(checkAt)))
        return refuse("hart checksum error");

    const quint8 code = quint8(reply.at(countAt + 1));
    const quint8 status = quint8(reply.at(countAt + 2));
    // The second byte of a communication error report is not the device status.
    if (code & CommErrorBit) {
        qDebug() << "UniversalCommands::parseHartResponse COMM ERROR" << code;
        hartResponseCodeText(code, expectedCommand);
        device.responseCode = code;
        report(outcome, HartReplyOutcome::CommError);
        return true;
    }
    if (hartResponseCodeText(code, expectedCommand)) {
        device.responseCode = code;
        device.deviceStatus = status;
        report(outcome, HartReplyOutcome::DeviceError);
        return true;
    }
    const HartReplyData data(reinterpret_cast<const quint8*>(reply.constData()) + countAt + 1 + StatusBytes,
                             count - StatusBytes);
    const HartReplyDecoder* decoder = hartReplyDecoder(expectedCommand);
    if (decoder && data.size() < decoder->minDataBytes) {
        qDebug() << "UniversalCommands::parseHartResponse bad lenght" << data.size() << "expected" << decoder->minDataBytes;
        return false;
    }
    device.responseCode = code;
    device.deviceStatus = status;
    if (decoder)
        decoder->decode(data, device);
    report(outcome, code == 0 ? HartReplyOutcome::Success : HartReplyOutcome::Warning);
    return true;
}
