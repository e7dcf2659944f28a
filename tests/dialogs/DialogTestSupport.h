#pragma once
// Helpers for driving the dialogs without a person: validation messages are
// recorded instead of shown, and OK / Cancel are pressed like a user would.

#include <gtest/gtest.h>

#include <QDialog>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QPushButton>
#include <QStringList>

#include "dialogs/NumberFields.h"

class RecordedMessages : public ::testing::Test {
 protected:
  void SetUp() override {
    NumberFields::SetMessageHandler([this](QWidget*, const QString& text) { messages << text; });
  }
  void TearDown() override { NumberFields::SetMessageHandler(nullptr); }

  QStringList messages;
};

inline QPushButton* OkButton(QDialog& dlg) {
  return dlg.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok);
}

inline QPushButton* CancelButton(QDialog& dlg) {
  return dlg.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Cancel);
}

// Shows the dialog modelessly (as exec() would, without blocking), so its
// fields go into its controls.
inline void Open(QDialog& dlg) {
  dlg.show();
  ASSERT_TRUE(dlg.isVisible());
}

inline bool PressOk(QDialog& dlg) {
  OkButton(dlg)->click();
  return !dlg.isVisible() && dlg.result() == QDialog::Accepted;
}
