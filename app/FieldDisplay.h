#pragma once
// Texts that the program writes into a parameter field (a read, a load, a value put back).

class QLineEdit;
class QString;

/// Sets the field's text and shows it from its beginning when it is longer than the box, as a
/// native edit box does; a plain setText would scroll to its end («5231628» of
/// «2,29999995231628»).
void ShowFieldText(QLineEdit *field, const QString &text);
