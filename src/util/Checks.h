#pragma once
// Assertions that stay on in every build, and integer arithmetic that raises
// an error instead of wrapping.
#include "platform/Errors.h"

#include <concepts>
#include <limits>
#include <string>

#define FV_ASSERT(condition, message)                                                              \
    do {                                                                                           \
        if (!(condition))                                                                          \
            throw AssertionError(message);                                                         \
    } while (false)

template <std::integral T> T CheckedAdd(T a, T b) {
    T r;
    if (__builtin_add_overflow(a, b, &r))
        throw OverflowError();
    return r;
}

template <std::integral T> T CheckedSub(T a, T b) {
    T r;
    if (__builtin_sub_overflow(a, b, &r))
        throw OverflowError();
    return r;
}

template <std::integral T> T CheckedMul(T a, T b) {
    T r;
    if (__builtin_mul_overflow(a, b, &r))
        throw OverflowError();
    return r;
}

// Converts between integer types, raising OverflowError when the value does
// not fit the target.
template <std::integral To, std::integral From> To CheckedCast(From value) {
    To r;
    if (__builtin_add_overflow(value, From{0}, &r))
        throw OverflowError();
    return r;
}
