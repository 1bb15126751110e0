#include "app/FieldDisplay.h"

#include <QLineEdit>

void ShowFieldText(QLineEdit *field, const QString &text)
{
    field->setText(text);
    // The box scrolls to keep the cursor in view, focused or not.
    field->setCursorPosition(0);
}
