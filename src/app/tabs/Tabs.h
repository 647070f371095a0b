#pragma once
// The tabs that TMainForm creates, in tab order. Only the page type is
// visible here, so a change inside one tab recompiles that tab alone.
class IBufferSizes;
class ITabHost;
class TTabPage;

TTabPage* NewGeneratorTab(ITabHost& host);
TTabPage* NewSpeedTab(ITabHost& host);
TTabPage* NewWipeTab(ITabHost& host);
TTabPage* NewMergeTab(ITabHost& host);
// The Settings tab; *sizes receives its buffer-size accessor.
TTabPage* NewSettingsTab(ITabHost& host, const IBufferSizes** sizes);
