#include "SpinEdit.h"

#include <climits>

TSpinEdit::TSpinEdit(QWidget *parent) : QSpinBox(parent)
{
    setRange(INT_MIN, INT_MAX);
    // A text left unfinished reads 0 once editing ends, as Value() reads it
    // meanwhile, instead of bringing the previous number back.
    setCorrectionMode(QAbstractSpinBox::CorrectToNearestValue);
}

int TSpinEdit::Value() const
{
    // While the text is a whole number, value() already follows it.
    return hasAcceptableInput() ? value() : 0;
}
