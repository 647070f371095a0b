#pragma once
// The factories of the tabs, one per tab; TMainForm::AddPages calls them in
// tab order. Only the page type is visible here, so a change inside one tab
// recompiles that tab alone.
class IBufferSizes;
class ITabHost;
class TTabPage;

TTabPage* NewGeneratorTab(ITabHost& host);
TTabPage* NewSpeedTab(ITabHost& host);
TTabPage* NewWipeTab(ITabHost& host);
TTabPage* NewSpaceTab(ITabHost& host);
TTabPage* NewMergeTab(ITabHost& host);
// The Settings tab; *sizes receives its buffer-size accessor.
TTabPage* NewSettingsTab(ITabHost& host, const IBufferSizes** sizes);
