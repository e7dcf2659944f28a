#include "dialogs/NumberFields.h"

#include <QApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QRegularExpressionValidator>
#include <cmath>

namespace {

NumberFields::MessageHandler& Handler() {
  static NumberFields::MessageHandler handler;
  return handler;
}

QString Bound(double v) { return NumberFields::FormatReal(v); }

}  // namespace

void NumberFields::AddInteger(QLineEdit* edit, int* value, int lo, int hi, const QString& label) {
  Field f;
  f.edit = edit;
  f.intValue = value;
  f.lo = lo;
  f.hi = hi;
  f.bounded = true;
  f.label = label;
  fields_.push_back(f);
}

void NumberFields::AddReal(QLineEdit* edit, double* value, double lo, double hi, const QString& label) {
  Field f;
  f.edit = edit;
  f.realValue = value;
  f.lo = lo;
  f.hi = hi;
  f.bounded = true;
  f.label = label;
  fields_.push_back(f);
}

void NumberFields::AddReal(QLineEdit* edit, double* value, const QString& label) {
  Field f;
  f.edit = edit;
  f.realValue = value;
  f.label = label;
  fields_.push_back(f);
}

void NumberFields::Load() const {
  for (const Field& f : fields_)
    f.edit->setText(f.intValue ? FormatInteger(*f.intValue) : FormatReal(*f.realValue));
}

QString NumberFields::Check(const Field& f) const {
  const QString text = f.edit->text();
  QString problem;
  if (f.intValue) {
    int v = 0;
    if (!ParseInteger(text, v))
      problem = QStringLiteral("Введите целое число");
    else if (v < f.lo || v > f.hi)
      problem = QStringLiteral("Введите целое число от %1 до %2").arg(Bound(f.lo), Bound(f.hi));
  } else {
    double v = 0.0;
    if (!ParseReal(text, v))
      problem = QStringLiteral("Введите число");
    else if (f.bounded && (v < f.lo || v > f.hi))
      problem = QStringLiteral("Введите число от %1 до %2").arg(Bound(f.lo), Bound(f.hi));
  }
  if (problem.isEmpty()) return {};
  if (f.label.isEmpty()) return problem + '.';
  return QStringLiteral("%1: %2.").arg(f.label, problem.at(0).toLower() + problem.mid(1));
}

QString NumberFields::FirstProblem(QLineEdit** failing) const {
  for (const Field& f : fields_) {
    QString problem = Check(f);
    if (!problem.isEmpty()) {
      if (failing) *failing = f.edit;
      return problem;
    }
  }
  if (failing) *failing = nullptr;
  return {};
}

bool NumberFields::Take(QWidget* messageParent) const {
  QLineEdit* failing = nullptr;
  const QString problem = FirstProblem(&failing);
  if (!problem.isEmpty()) {
    // Focus first: a message box remembers the focus widget and gives it
    // back when it closes.
    failing->setFocus(Qt::OtherFocusReason);
    failing->selectAll();
    ShowMessage(messageParent, problem);
    return false;
  }
  for (const Field& f : fields_) {
    if (f.intValue)
      ParseInteger(f.edit->text(), *f.intValue);
    else
      ParseReal(f.edit->text(), *f.realValue);
  }
  return true;
}

bool NumberFields::ParseInteger(const QString& text, int& out) {
  bool ok = false;
  const int v = text.trimmed().toInt(&ok, 10);
  if (ok) out = v;
  return ok;
}

bool NumberFields::ParseReal(const QString& text, double& out) {
  QString t = text.trimmed();
  t.replace(',', '.');
  // QString::toDouble is locale-independent ("C"): '.' is the separator.
  bool ok = false;
  const double v = t.toDouble(&ok);
  if (!ok || !std::isfinite(v)) return false;
  out = v;
  return true;
}

QString NumberFields::FormatInteger(int v) { return QString::number(v); }

QString NumberFields::FormatReal(double v) { return QString::number(v, 'g', 15); }

void NumberFields::SetDigitsOnly(QLineEdit* edit) {
  edit->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), edit));
}

void NumberFields::SetMessageHandler(MessageHandler handler) { Handler() = std::move(handler); }

void NumberFields::ShowMessage(QWidget* parent, const QString& text) {
  if (Handler()) {
    Handler()(parent, text);
    return;
  }
  QMessageBox::warning(parent, QStringLiteral("Программа Kalvor"), text);
}
