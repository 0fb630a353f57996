#include "HartPackedAscii.h"

#include <QDebug>

const QString g_packedAsciiAlphabet = QStringLiteral("@ABCDEFGHIJKLMNOPQRSTUVWXYZ[\\]^_ !\"#$%&'()*+,-./0123456789:;<=>?");

namespace {

constexpr int CodeBits = 6;
constexpr int CodeMask = 0x3F;
constexpr int SpaceCode = 32;

int codeOf(QChar c)
{
    if (c == QChar(0x201E))
        c = QLatin1Char('"');
    else if (c == QChar(0x2019))
        c = QLatin1Char('\'');
    return g_packedAsciiAlphabet.indexOf(c);
}

}  // namespace

bool packAscii(const QString& text, quint8* out, int byteCount)
{
    const int count = byteCount * 8 / CodeBits;
    quint32 pending = 0;
    int pendingBits = 0;
    int written = 0;
    for (int i = 0; i < count; ++i) {
        const int code = i < text.size() ? codeOf(text.at(i)) : SpaceCode;
        if (code < 0) {
            qDebug() << "UniversalCommands::packAscii WRONG VALUE" << text.at(i);
            return false;
        }
        pending = (pending << CodeBits) | quint32(code);
        pendingBits += CodeBits;
        while (pendingBits >= 8) {
            pendingBits -= 8;
            out[written++] = quint8(pending >> pendingBits);
        }
        pending &= (1u << pendingBits) - 1;
    }
    return true;
}

QString unpackAscii(const quint8* in, int byteCount)
{
    const int count = byteCount * 4 / 3;
    QString text;
    text.reserve(qMax(0, count));
    for (int i = 0; i < count; ++i) {
        const int bit = i * CodeBits;
        const int byte = bit / 8;
        const int shift = bit % 8;
        // Two bytes hold every code; the second is absent only for a code that ends in the first.
        const quint32 word = (quint32(in[byte]) << 8) | (byte + 1 < byteCount ? in[byte + 1] : 0);
        text += g_packedAsciiAlphabet.at(int(word >> (16 - CodeBits - shift)) & CodeMask);
    }
    while (!text.isEmpty() && text.back().isSpace())
        text.chop(1);
    return text;
}
