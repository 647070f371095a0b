#include "app/FormMain.h"

void TMainForm::btnGenerateClick() {
    // The generation run is connected here.
}
