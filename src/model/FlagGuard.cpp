#include "FlagGuard.h"

FlagGuard::FlagGuard(bool* target, bool value) : m_target(target), m_value(value) {}

FlagGuard::~FlagGuard()
{
    restore();
}

bool FlagGuard::set()
{
    if (*m_target == m_value) {
        m_changed = false;
        return false;
    }
    m_changed = true;
    *m_target = m_value;
    return true;
}

void FlagGuard::restore()
{
    if (m_changed)
        reset();
}

void FlagGuard::reset()
{
    *m_target = !m_value;
    m_changed = false;
}
