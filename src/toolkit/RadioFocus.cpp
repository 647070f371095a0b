#include "toolkit/RadioFocus.h"

#include <QRadioButton>

namespace {

// Only the checked button of a group is a tab stop; the others still take
// the focus by a click or by the arrow keys.
void UpdateTabStop(QRadioButton* radio) {
    radio->setFocusPolicy(radio->isChecked() || !radio->autoExclusive() ? Qt::StrongFocus
                                                                        : Qt::ClickFocus);
}

} // namespace

void TabToCheckedRadio(QRadioButton* radio) {
    UpdateTabStop(radio);
    QObject::connect(radio, &QRadioButton::toggled, radio, [radio] { UpdateTabStop(radio); });
}
