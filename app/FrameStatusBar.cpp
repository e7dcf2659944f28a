// The status bar: the command prompts and messages, and the CAP, NUM and
// SCRL indicators.
#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QStatusBar>

#include "app/CMainFrame.h"
#include "app/FrameCommands.h"

void CMainFrame::CreateStatusBar() {
  QStatusBar* bar = statusBar();
  const QString names[3] = {QStringLiteral("CAP"), QStringLiteral("NUM"), QStringLiteral("SCRL")};
  for (int i = 0; i < 3; ++i) {
    lockLabels_[i] = new QLabel(names[i], bar);
    lockLabels_[i]->setFrameShape(QFrame::Panel);
    lockLabels_[i]->setFrameShadow(QFrame::Sunken);
    lockLabels_[i]->setAlignment(Qt::AlignCenter);
    lockLabels_[i]->setMinimumWidth(lockLabels_[i]->fontMetrics().horizontalAdvance(names[i]) + 12);
    lockLabels_[i]->setEnabled(false);
    bar->addPermanentWidget(lockLabels_[i]);
  }
  QAction* toggle = Action(ID_VIEW_STATUS_BAR);
  toggle->setChecked(true);
  connect(toggle, &QAction::toggled, bar, &QStatusBar::setVisible);
}

void CMainFrame::ShowStatusMessage(const QString& text) {
  statusBar()->showMessage(text);
  statusBar()->repaint();
}

// The lock indicators follow the lock keys pressed while the program runs.
void CMainFrame::TrackLockKey(QObject* watched, const QKeyEvent& key) {
  const int k = key.key();
  const int index = k == Qt::Key_CapsLock ? 0 : k == Qt::Key_NumLock ? 1 : k == Qt::Key_ScrollLock ? 2 : -1;
  if (index < 0 || key.isAutoRepeat() || watched != QApplication::focusWidget()) return;
  lockState_[index] = !lockState_[index];
  lockLabels_[index]->setEnabled(lockState_[index]);
}
