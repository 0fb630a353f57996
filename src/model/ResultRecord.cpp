#include "ResultRecord.h"

#include <cmath>

void ResultRecord::updateVerdict()
{
    const double allowed = std::fabs(allowedError);
    const double measuredError = std::fabs(error);
    if (allowed * coefficient >= measuredError)
        verdict = 1;
    else if (allowed >= measuredError)
        verdict = 2;
    else
        verdict = 3;
}

void ResultRecord::setError(double value)
{
    error = value;
    updateVerdict();
}

void ResultRecord::setAllowedError(double value)
{
    allowedError = value;
    updateVerdict();
}

void ResultRecord::setCoefficient(double value)
{
    coefficient = value;
    updateVerdict();
}
