#include "app/tabs/MergeTab.h"

#include "app/tabs/Tabs.h"

TMergeTab::TMergeTab(ITabHost& host) : TTabPage(host, "tabMerge", "Merge files") {}

TTabPage* NewMergeTab(ITabHost& host) {
    return new TMergeTab(host);
}

void TMergeTab::Build() {}
