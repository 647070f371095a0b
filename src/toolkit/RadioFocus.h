#pragma once
// Tabbing into a group of radio buttons lands on the checked one (and the
// arrow keys move within the group), as desktop users expect; Qt enters the
// group at its first button instead.
class QRadioButton;

void TabToCheckedRadio(QRadioButton* radio);
