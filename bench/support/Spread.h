#pragma once

#include <vector>

// The median, least and greatest of the figures of several runs.
struct Spread
{
    double median = 0;
    double least = 0;
    double greatest = 0;

    static Spread of(std::vector<double> values);
};
