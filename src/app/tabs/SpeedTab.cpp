#include "app/tabs/SpeedTab.h"

#include "app/tabs/Tabs.h"

TSpeedTab::TSpeedTab(ITabHost& host) : TTabPage(host, "tabDiskSpeed", "Drive speed") {}

TTabPage* NewSpeedTab(ITabHost& host) {
    return new TSpeedTab(host);
}

void TSpeedTab::Build() {}
