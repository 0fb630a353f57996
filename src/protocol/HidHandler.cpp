#include "HidHandler.h"

#include <limits>

HidHandler* g_hidHandler = nullptr;

HidHandler::HidHandler(QObject* parent)
    : QObject(parent),
      temperature(std::numeric_limits<float>::quiet_NaN()),
      humidity(std::numeric_limits<float>::quiet_NaN()),
      pressure(std::numeric_limits<float>::quiet_NaN())
{
    g_hidHandler = this;
}

HidHandler::~HidHandler()
{
    if (g_hidHandler == this)
        g_hidHandler = nullptr;
}
