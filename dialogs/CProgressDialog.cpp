#include "dialogs/CProgressDialog.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMainWindow>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>
#include <QWindow>
#include <algorithm>

namespace {

// The bar shows the percentage of the label, in permille steps of the
// widget: ranges of any size fit it, and the two never disagree.
constexpr int kBarSteps = 1000;
// The stage text gets a fixed width, so the window keeps its width whatever
// the stage says; a longer text is elided, whole in the tooltip.
constexpr int kStageWidth = 340;

QMessageBox::Icon BoxIcon(ProgressReporter::Icon icon) {
  switch (icon) {
    case ProgressReporter::Icon::Information: return QMessageBox::Information;
    case ProgressReporter::Icon::Question: return QMessageBox::Question;
    case ProgressReporter::Icon::Warning: return QMessageBox::Warning;
    case ProgressReporter::Icon::Stop: return QMessageBox::Critical;
  }
  return QMessageBox::NoIcon;
}

QWidget* MainWindow() {
  for (QWidget* w : QApplication::topLevelWidgets())
    if (qobject_cast<QMainWindow*>(w) && w->isVisible()) return w;
  QWidget* active = QApplication::activeWindow();
  return active ? active->window() : nullptr;
}

}  // namespace

CProgressDialog::CProgressDialog(const QString& caption)
    // No parent: disabling the main window would disable its child windows too.
    : QDialog(nullptr, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                           Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      stage_(new QLabel),
      percent_(new QLabel(QStringLiteral(" 0 %"))),
      bar_(new QProgressBar),
      cancel_(new QPushButton(QStringLiteral("Отмена"))) {
  setWindowTitle(caption.isEmpty() ? QStringLiteral("Расчет...") : caption);
  stage_->setObjectName("stage");
  percent_->setObjectName("percent");
  bar_->setTextVisible(false);
  bar_->setRange(0, kBarSteps);
  bar_->setValue(0);
  bar_->setMinimumWidth(320);
  stage_->setFixedWidth(kStageWidth);
  // Enter must not press it.
  cancel_->setAutoDefault(false);
  cancel_->setDefault(false);
  connect(cancel_, &QPushButton::clicked, this, &CProgressDialog::RequestCancel);

  auto* grid = new QGridLayout;
  grid->addWidget(new QLabel(QStringLiteral("Выполняется:")), 0, 0);
  grid->addWidget(stage_, 0, 1);
  grid->addWidget(bar_, 1, 0, 1, 2);
  grid->addWidget(new QLabel(QStringLiteral("Выполнено:")), 2, 0);
  grid->addWidget(percent_, 2, 1);
  grid->setColumnStretch(1, 1);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(cancel_);
  buttons->addStretch(1);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(grid);
  layout->addLayout(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);
}

CProgressDialog::~CProgressDialog() {
  if (owner_) owner_->removeEventFilter(this);
  EnableOwner();
}

QString CProgressDialog::ApplicationTitle() { return QStringLiteral("Программа Kalvor"); }

bool CProgressDialog::CreateModeless(QWidget* owner) {
  owner_ = owner ? owner->window() : MainWindow();
  if (owner_) {
    if (owner_->isEnabled()) DisableOwner();
    owner_->installEventFilter(this);
  }
  UpdateBar();
  winId();  // creates the native window, so it can stand above its owner
  if (owner_ && windowHandle() && owner_->windowHandle())
    windowHandle()->setTransientParent(owner_->windowHandle());
  adjustSize();
  const QRect area = owner_ ? owner_->frameGeometry()
                            : (screen() ? screen()->availableGeometry() : QRect(0, 0, 800, 600));
  move(area.center() - rect().center());
  show();
  if (!isVisible()) {
    Close();
    return false;
  }
  raise();
  activateWindow();
  return true;
}

void CProgressDialog::Close() {
  hide();
  if (owner_) owner_->removeEventFilter(this);
  EnableOwner();
  minimisedWithOwner_ = false;
}

void CProgressDialog::DisableOwner() {
  if (!owner_ || ownerDisabled_) return;
  owner_->setEnabled(false);
  ownerDisabled_ = true;
}

void CProgressDialog::EnableOwner() {
  if (!ownerDisabled_) return;
  ownerDisabled_ = false;
  if (owner_) owner_->setEnabled(true);
}

void CProgressDialog::ShowStage(const std::string& text) {
  const QString full = QString::fromStdString(text);
  const QString shown = stage_->fontMetrics().elidedText(full, Qt::ElideRight, kStageWidth);
  stage_->setText(shown);
  stage_->setToolTip(shown == full ? QString() : full);
}

void CProgressDialog::SetRange(long long lower, long long upper) {
  lower_ = lower;
  upper_ = upper;
  // A new stage starts its bar and its label together.
  UpdateBar();
  ShowPercent(position_);
}

long long CProgressDialog::SetStep(long long step) {
  const long long old = step_;
  step_ = step;
  return old;
}

long long CProgressDialog::SetPosition(long long position) {
  PumpMessages();
  const long long old = position_;
  position_ = position;
  UpdateBar();
  ShowPercent(position_);
  return old;
}

long long CProgressDialog::StepForward() {
  PumpMessages();
  const long long old = position_;
  position_ = old + step_;
  UpdateBar();
  ShowPercent(position_);
  return old;
}

bool CProgressDialog::CancelRequested() {
  PumpMessages();
  const bool requested = cancelRequested_;
  cancelRequested_ = false;
  return requested;
}

void CProgressDialog::PumpMessages() { QCoreApplication::processEvents(QEventLoop::AllEvents); }

void CProgressDialog::ShowPercent(long long position) {
  const QString text = QStringLiteral("%1%").arg(ProgressPercent(position, lower_, upper_));
  if (percent_->text() != text) percent_->setText(text);
}

void CProgressDialog::UpdateBar() {
  const int percent = std::clamp(ProgressPercent(position_, lower_, upper_), 0, 100);
  const int value = percent * kBarSteps / 100;
  if (bar_->value() != value) bar_->setValue(value);
}

bool CProgressDialog::AskYesNo(Question, const std::string& text, const std::string& caption, Icon icon) {
  QMessageBox box(BoxIcon(icon), caption.empty() ? ApplicationTitle() : QString::fromStdString(caption),
                  QString::fromStdString(text), QMessageBox::Yes | QMessageBox::No, this);
  return RunMessageBox(box) == QMessageBox::Yes;
}

void CProgressDialog::ShowMessage(const std::string& text, const std::string& caption, Icon icon) {
  QMessageBox box(BoxIcon(icon), caption.empty() ? ApplicationTitle() : QString::fromStdString(caption),
                  QString::fromStdString(text), QMessageBox::Ok, this);
  RunMessageBox(box);
}

int CProgressDialog::RunMessageBox(QMessageBox& box) { return box.exec(); }

void CProgressDialog::keyPressEvent(QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Escape:
      RequestCancel();
      event->accept();
      return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
      event->accept();  // does nothing
      return;
    default:
      QDialog::keyPressEvent(event);
  }
}

void CProgressDialog::closeEvent(QCloseEvent* event) {
  RequestCancel();
  event->ignore();
}

void CProgressDialog::reject() { RequestCancel(); }

void CProgressDialog::accept() {}

// Minimising the progress window minimises the whole program; the main
// window must be enabled for the window manager to give it back.
void CProgressDialog::changeEvent(QEvent* event) {
  QDialog::changeEvent(event);
  if (event->type() != QEvent::WindowStateChange || !isMinimized() || minimisedWithOwner_) return;
  minimisedWithOwner_ = true;
  reenableOnRestore_ = ownerDisabled_;
  EnableOwner();
  if (owner_) owner_->showMinimized();
}

bool CProgressDialog::eventFilter(QObject* watched, QEvent* event) {
  if (watched == owner_) {
    if (event->type() == QEvent::Close) {
      // The calculation runs inside the main window's own command.
      event->ignore();
      return true;
    }
    if (event->type() == QEvent::WindowStateChange && minimisedWithOwner_ && !owner_->isMinimized()) {
      minimisedWithOwner_ = false;
      if (reenableOnRestore_) DisableOwner();
      reenableOnRestore_ = false;
      setWindowState(windowState() & ~Qt::WindowMinimized);
      show();
      raise();
      activateWindow();
    }
  }
  return QDialog::eventFilter(watched, event);
}
