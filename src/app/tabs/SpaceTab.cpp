#include "app/tabs/SpaceTab.h"

#include "app/tabs/Tabs.h"

#include "components/FreeDiskSpace.h"

TSpaceTab::TSpaceTab(ITabHost& host) : TTabPage(host, "tabSpace", "Disk space") {}

TTabPage* NewSpaceTab(ITabHost& host) {
    return new TSpaceTab(host);
}

// The panel anchors itself to the page's first real layout, so the page is
// in the page control, and not yet laid out, when this runs.
void TSpaceTab::Build() {
    TFreeDiskSpace::PlaceOn(this);
}
