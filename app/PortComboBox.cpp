#include "app/PortComboBox.h"

#include "app/Application.h"

void TPortComboBox::showPopup()
{
    if (OnDropDown)
        RunHandler(OnDropDown);
    TComComboBox::showPopup();
}
