#include "HartBytes.h"

#include <QtAlgorithms>
#include <algorithm>

void reverseBytes(void* p, int n)
{
    auto* bytes = static_cast<quint8*>(p);
    std::reverse(bytes, bytes + qMax(0, n));
}

int countSetBits(const quint8* p, int n)
{
    int count = 0;
    for (int i = 0; i < n; ++i)
        count += qPopulationCount(p[i]);
    return count;
}
