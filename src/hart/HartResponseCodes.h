#pragma once

#include <QString>

// Texts of the last judged response code, rewritten by every call; read right after the call by
// the thread that made it (the HART worker).
extern QString g_hartResponsePrefix;
extern QString g_hartResponseText;

// Judges a response code for the command that was sent: true when it is an error (a text is then
// set), false for code 0 and for a warning (a warning may still set a text).
bool hartResponseCodeText(quint8 code, int command);
// The same judgement without the texts, safe from any thread: an error reply decoded no data.
bool hartResponseIsError(quint8 code, int command);
