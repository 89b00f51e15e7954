#include "DropDownComboBox.h"

void TDropDownComboBox::showPopup()
{
    emit DropDown();
    QComboBox::showPopup();
}
