// A whole-number field with no range limit whose value is 0 while its text is
// not a whole number (empty, a lone sign, a number beyond 32 bits).
#pragma once

#include <QSpinBox>

class TSpinEdit : public QSpinBox {
public:
    explicit TSpinEdit(QWidget *parent = nullptr);

    int Value() const;
};
