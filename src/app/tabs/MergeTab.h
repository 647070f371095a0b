#pragma once
// The "Merge files" tab. Still empty: it will hold the merge browser and merge run. Its saved
// values edtMergeType ("*.*") and mmoSeparator (CR LF, "==== New file ===", CR LF, CR LF) go into
// AddSettings; its first folder is shown from LateInitialize (DirectoryChange).
#include "app/tabs/TabPage.h"

class TMergeTab final : public TTabPage {
    Q_OBJECT
public:
    explicit TMergeTab(ITabHost& host);

    void Build() override;
};
