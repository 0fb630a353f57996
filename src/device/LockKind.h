#pragma once

#include <QtGlobal>

// The kind of operation that `DeviceZFN::lockInteface` reports, which decides how the busy overlay
// looks: a device search, an exchange the operator may stop, and one he can only wait out.
namespace LockKind {
enum Kind : quint8 { Search = 0, StoppableExchange = 1, Exchange = 2 };
}
