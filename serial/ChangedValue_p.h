#pragma once
// Internal: the setters' common first step.

/// Stores Value in Field; false when it held that value already (nothing to apply).
template <typename T>
bool Store(T &Field, const T &Value)
{
    if (Field == Value)
        return false;
    Field = Value;
    return true;
}
