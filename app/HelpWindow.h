#pragma once
// The user's manual (doc/manual.md, built into the program) in a window of
// its own. Sections are the headings marked {#id} in the manual; F1 opens the
// section of the focused control, context help (Shift+F1) that of the next
// control clicked.

#include <QHash>
#include <QString>
#include <QWidget>

class QTextBrowser;

class HelpWindow : public QWidget {
  Q_OBJECT

 public:
  // The program's one help window (a child window of `owner`, or of the modal
  // dialog in front; made on first use), shown and scrolled to `section`; an
  // empty or unknown section shows the beginning. Null without either.
  static HelpWindow* Open(QWidget* owner, const QString& section = {});
  // The section that describes `widget` or the nearest of its parents that
  // has one; empty when none does.
  static QString SectionFor(const QWidget* widget);
  // The section of a pane or dialog class named exactly; "" if none.
  static QString SectionForClass(const QString& className);
  // Help mode: the next click on a control of the program opens its section
  // instead of acting; Escape leaves the mode.
  static void StartContextHelp(QWidget* owner);
  // F1 in a modal dialog, where the frame's own F1 cannot reach, opens the
  // section of that dialog.
  static void InstallDialogHelpKey(QWidget* owner);
  // The folder of the shipped examples: share/kalvor/examples beside the
  // installed program, else the examples of the build's source.
  static QString ExamplesFolder();

  void ShowSection(const QString& section);
  QString CurrentSection() const;
  QStringList Sections() const { return sections_.keys(); }
  QTextBrowser* Browser() const { return browser_; }

 private:
  explicit HelpWindow(QWidget* owner);
  void Load();

  QTextBrowser* browser_ = nullptr;
  QHash<QString, int> sections_;  // id -> block number of its heading
};
