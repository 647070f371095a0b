#pragma once
// Where the program's settings live in the test's temporary HOME.
#include "app/SettingsStore.h"

inline QString SettingsFile() {
    return SettingsStore::StorageLocation(SettingsStore::RegRoot::CurrentUser,
                                          SettingsStore::KeyPathOf(SettingsStore::kSection));
}
