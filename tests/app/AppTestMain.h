#pragma once
// Every window test runs with its own temporary HOME, so that no test reads
// or changes the user's settings or Trash, and with the program's
// application object, so that its last net for errors is in place.
#include "TempDir.h"
#include "app/ErrorReporting.h"

#include <QTest>

#include <cstdlib>

inline void UseTemporaryHome(const TempDir& home) {
    ::setenv("HOME", home.Path().c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", (home / ".config").c_str(), 1);
    ::unsetenv("XDG_DATA_HOME");
    if (!std::getenv("QT_QPA_PLATFORM"))
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
}

#define FV_APP_TEST_MAIN(TestClass)                                                                \
    int main(int argc, char** argv) {                                                              \
        TempDir home;                                                                              \
        UseTemporaryHome(home);                                                                    \
        TFerrovaneApplication app(argc, argv);                                                     \
        TestClass test;                                                                            \
        return QTest::qExec(&test, argc, argv);                                                    \
    }
