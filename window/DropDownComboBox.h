// A drop-down list that announces each opening before its list shows, so that
// the list can be filled afresh.
#pragma once

#include <QComboBox>

class TDropDownComboBox : public QComboBox {
    Q_OBJECT
public:
    using QComboBox::QComboBox;

    void showPopup() override;

signals:
    void DropDown();
};
