#pragma once

// Busy flag of an operation that must not run twice at once, such as an export behind a file
// dialog. Whatever way the scope is left, a flag this guard raised is lowered again.
class FlagGuard
{
public:
    FlagGuard(bool* target, bool value);
    ~FlagGuard();

    FlagGuard(const FlagGuard&) = delete;
    FlagGuard& operator=(const FlagGuard&) = delete;

    // False when the target already held the value, so someone else owns the flag.
    bool set();
    // Lowers the flag only when set() raised it.
    void restore();
    void reset();

private:
    bool* m_target;
    bool m_value;
    bool m_changed = false;
};
