#pragma once
// The "Drive speed" tab. Still empty: it will hold the drive speed test (write, then read around
// the cache, logged in MB/s); its file size is Host().BufferSizes().SpeedTestFileMB(). It has no
// saved value of its own.
#include "app/tabs/TabPage.h"

class TSpeedTab final : public TTabPage {
    Q_OBJECT
public:
    explicit TSpeedTab(ITabHost& host);

    void Build() override;
};
