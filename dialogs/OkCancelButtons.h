#pragma once
// The OK / Отмена button box of the dialogs, wired to the dialog's accept()
// and reject(); the caller places it in its layout.

class QDialog;
class QDialogButtonBox;

QDialogButtonBox* OkCancelButtons(QDialog* dialog);
