#include "app/tabs/TabPage.h"

TTabPage::TTabPage(ITabHost& host, const char* objectName, const char* caption)
    : FHost(host), FCaption(QString::fromUtf8(caption)) {
    setObjectName(objectName);
    setAccessibleName(FCaption);
}
