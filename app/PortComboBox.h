#pragma once
// The window's port combo: a port selection combo that tells its owner just before its list
// opens, so the owner can list the ports anew (an adapter plugged in since start-up appears).

#include "serial/widgets/ComComboBox.h"

#include <functional>

class TPortComboBox : public TComComboBox {
    Q_OBJECT
public:
    using TComComboBox::TComComboBox;

    /// Runs before the list opens; an exception it raises is shown and the list opens anyway.
    std::function<void()> OnDropDown;

    void showPopup() override;
};
