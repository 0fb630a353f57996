#pragma once

#include <QObject>

// A named child the test cannot go on without: a missing one is a broken form, not a failed check.
template <typename T>
T* requireChild(const QObject* parent, const char* name)
{
    T* child = parent->findChild<T*>(QString::fromLatin1(name));
    if (!child)
        qFatal("no child %s", name);
    return child;
}
