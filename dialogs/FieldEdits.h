#pragma once
// The numeric edits of the generatrix and gap-curve dialogs.

class QLineEdit;
class QWidget;

// An edit named after its field (tests and EditFor find it by that name),
// at least 70 pixels wide.
QLineEdit* NewFieldEdit(const char* fieldName, QWidget* parent = nullptr);
// An integer edit, at most 80 pixels wide, with its up-down control beside it.
QWidget* WithUpDown(QLineEdit* edit);
