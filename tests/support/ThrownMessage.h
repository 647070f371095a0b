#pragma once
// The message of the error of type E that f raises; a test fails when f
// raises nothing, and any other error leaves the test as it is.
#include <gtest/gtest.h>

#include <string>

template <class E, class F> std::string ThrownMessage(F&& f) {
    try {
        f();
    } catch (const E& e) {
        return e.what();
    }
    ADD_FAILURE() << "no error raised";
    return {};
}
