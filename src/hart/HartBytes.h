#pragma once

#include <QtGlobal>

// HART numbers travel big-endian; the record holds them in host order.
void reverseBytes(void* p, int n);

// Number of 1 bits in n bytes; the write operations count their change-mask bits with it.
int countSetBits(const quint8* p, int n);
