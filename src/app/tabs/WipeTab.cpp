#include "app/tabs/WipeTab.h"

#include "app/tabs/Tabs.h"

TWipeTab::TWipeTab(ITabHost& host) : TTabPage(host, "tabWipe", "Data wipe") {}

TTabPage* NewWipeTab(ITabHost& host) {
    return new TWipeTab(host);
}

void TWipeTab::Build() {}
