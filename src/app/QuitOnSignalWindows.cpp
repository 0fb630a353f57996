#include "QuitOnSignal.h"

// Windows sends a window program no console signal: the operator quits through the window, whose
// close runs the same exit order.
QuitOnSignal::QuitOnSignal(QObject* parent) : QObject(parent) {}

QuitOnSignal::~QuitOnSignal() = default;
