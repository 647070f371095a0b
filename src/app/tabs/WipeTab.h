#pragma once
// The "Data wipe" tab. Still empty: it will hold the free-space wipe; its buffer size is
// Host().BufferSizes().WipeBufferMB(). Its saved values spnPass (2) and chkBitRot (true) go into
// AddSettings.
#include "app/tabs/TabPage.h"

class TWipeTab final : public TTabPage {
    Q_OBJECT
public:
    explicit TWipeTab(ITabHost& host);

    void Build() override;
};
