#pragma once
// The "Disk space" tab: the free and total space of every drive that is ready
// when the window starts, as one bar per drive. It has no saved value and no
// run of its own.
#include "app/tabs/TabPage.h"

class TSpaceTab final : public TTabPage {
    Q_OBJECT
public:
    explicit TSpaceTab(ITabHost& host);

    // Places the panel, which lists the drives ready now, once.
    void Build() override;
};
