#pragma once

#include "ComTypes.h"

// Reference counting for objects used from one thread (apartment threading): plain arithmetic.
class CComSingleThreadModel
{
public:
    static ULONG Increment(LONG* value) { return ULONG(++*value); }
    static ULONG Decrement(LONG* value) { return ULONG(--*value); }
};
