#include "app/tabs/SpaceTab.h"

#include "app/tabs/Tabs.h"

#include "components/FreeDiskSpace.h"

TSpaceTab::TSpaceTab(ITabHost& host) : TTabPage(host, "tabSpace", "Disk space") {}

TTabPage* NewSpaceTab(ITabHost& host) {
    return new TSpaceTab(host);
}

// The panel takes its distances to the page's edges from the first size of
// the page that holds it. A page made without a parent has a top-level
// window's size (640 x 480) until the page control lays it out, and a picture
// of the window hands that size to hidden pages: the page starts empty, so
// only its real layout counts.
void TSpaceTab::Build() {
    resize(0, 0);
    TFreeDiskSpace::PlaceOn(this);
}
