#pragma once

#include <QString>

// HART packed ASCII: 6-bit codes, four characters in three bytes, most significant bit first.
// The code of a character is its position in this alphabet.
extern const QString g_packedAsciiAlphabet;

// Packs the first byteCount * 8 / 6 characters of the text, blanks past its end. False (with the
// bytes written so far left in place) on a character the alphabet cannot carry; the typographic
// quotes U+201E and U+2019 are taken for the straight ones.
bool packAscii(const QString& text, quint8* out, int byteCount);

// byteCount * 4 / 3 characters, trailing white space removed.
QString unpackAscii(const quint8* in, int byteCount);
