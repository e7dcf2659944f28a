#pragma once
// Numeric line edits bound to value fields, checked in a fixed order.
//
// A dialog or form pane registers its edits once, in the order in which
// "OK" (or "Внести Изменения") checks them, then calls Load() to put the
// values into the edits and Take() to read them back. Take() checks every
// edit (disabled ones too) before it stores anything: the first edit that
// holds no number or a number out of its range is reported with a message
// that names the field and the accepted range, gets the focus, and nothing
// is stored. Numbers are shown the way the user expects to type them back:
// integers plainly, reals with up to 15 significant digits ("1", "0.0001").

#include <QString>
#include <functional>
#include <vector>

class QLineEdit;
class QWidget;

class NumberFields {
 public:
  // `label` names the field in the message (the control's caption).
  void AddInteger(QLineEdit* edit, int* value, int lo, int hi, const QString& label);
  void AddReal(QLineEdit* edit, double* value, double lo, double hi, const QString& label);
  // A real field that accepts any finite number.
  void AddReal(QLineEdit* edit, double* value, const QString& label);

  void Load() const;
  // True when every field passed and was stored; otherwise reports the first
  // failure (parent of the message: `messageParent`) and stores nothing.
  bool Take(QWidget* messageParent) const;
  // The message for the first failing field, empty when all pass; stores nothing.
  QString FirstProblem(QLineEdit** failing = nullptr) const;

  // Text conversions shared by every numeric edit of the program. Both
  // accept surrounding blanks; a real may use ',' as its decimal separator.
  static bool ParseInteger(const QString& text, int& out);
  static bool ParseReal(const QString& text, double& out);
  static QString FormatInteger(int v);
  static QString FormatReal(double v);
  // Lets an edit accept digits only (region identifiers, point counts).
  static void SetDigitsOnly(QLineEdit* edit);

  // Where validation messages go. The default is a warning box captioned
  // with the program's title; tests install a recorder. Null restores it.
  using MessageHandler = std::function<void(QWidget* parent, const QString& text)>;
  static void SetMessageHandler(MessageHandler handler);
  static void ShowMessage(QWidget* parent, const QString& text);

 private:
  struct Field {
    QLineEdit* edit = nullptr;
    int* intValue = nullptr;
    double* realValue = nullptr;
    double lo = 0.0, hi = 0.0;
    bool bounded = false;
    QString label;
  };
  QString Check(const Field& f) const;

  std::vector<Field> fields_;
};
