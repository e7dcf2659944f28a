#include "app/HelpWindow.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCoreApplication>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QMainWindow>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QStatusBar>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextCursor>
#include <QToolButton>
#include <QVBoxLayout>

#include "app/FrameCommands.h"

static void RegisterManual() { Q_INIT_RESOURCE(Help); }

namespace {

QPointer<HelpWindow> instance;

// Where the manual names the folder of the examples, the packaged path.
const QString kPackagedExamples = QStringLiteral("/usr/share/kalvor/examples");

// The sections of the controls, by class (nearest first) and by command.
const std::pair<const char*, const char*> kClassSections[] = {
    {"CKalvorView", "view"},
    {"CLeftView_Empty", "tree"},
    {"GeneratrixPane", "editing"},
    {"COptionDialog", "parameters"},
    {"CPointsDialog", "gap-curves"},
    {"CDialogCreateGeneratrix", "generatrix"},
    {"CGeneratrixDialog", "generatrix"},
    {"CLineDialog", "generatrix"},
    {"CArchDialog", "generatrix"},
    {"CCalcInfo", "calculation"},
    {"CProgressDialog", "calculation"},
    {"CFinalResult", "parameters"},
    {"COptionPage", "parameters"},
    {"CCalcParam", "parameters"},
    {"CSaveCtrlData", "parameters"},
    {"CArchPoints", "gap-curves"},
    {"CLinePoints", "gap-curves"},
    {"ResultsPane", "results-pane"},
    {"FieldPictureDialog", "field-picture"},
    {"FieldPlot", "plots"},
    {"CStudyDialog", "study"},
    {"RoundCornerDialog", "geometry"},
    {"DxfImportDialog", "geometry"},
    {"QMenuBar", "window"},
    {"QStatusBar", "window"},
};

QString SectionForCommand(int id) {
  switch (id) {
    case ID_FILE_NEW: case ID_FILE_OPEN: case ID_FILE_SAVE: case ID_FILE_SAVE_AS:
      return QStringLiteral("file");
    case ID_CALC_PARAMETERS: return QStringLiteral("parameters");
    case ID_GAP_CURVES: case ID_GAP_CALCULATE: return QStringLiteral("gap-curves");
    case ID_CALCULATE: return QStringLiteral("calculation");
    case ID_STUDY: return QStringLiteral("study");
    case ID_CREATE_ARC: case ID_CREATE_LINE: return QStringLiteral("generatrix");
    case ID_ZOOM_IN: case ID_ZOOM_OUT: case ID_ZOOM_FIT: case ID_SHOW_GAP_CURVES: case ID_SHOW_CHARGES:
      return QStringLiteral("navigation");
    case ID_FILE_PRINT: case ID_FILE_PRINT_PREVIEW: case ID_FILE_PAGE_SETUP: case ID_EXPORT_VIEW:
      return QStringLiteral("export");
    case ID_FIELD_MAP: case ID_EQUIPOTENTIALS: case ID_FIELD_LINES: case ID_FIELD_PICTURE: case ID_FULL_SECTION:
      return QStringLiteral("field-picture");
    case ID_RESULTS_PANE: return QStringLiteral("results-pane");
    case ID_EDIT_UNDO: case ID_EDIT_REDO: return QStringLiteral("undo");
    default: return QStringLiteral("window");
  }
}

// Help mode until the next click or Escape.
class ContextHelpFilter : public QObject {
 public:
  explicit ContextHelpFilter(QWidget* owner) : QObject(qApp), owner_(owner) {
    QApplication::setOverrideCursor(Qt::WhatsThisCursor);
    qApp->installEventFilter(this);
  }
  ~ContextHelpFilter() override { QApplication::restoreOverrideCursor(); }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    switch (event->type()) {
      case QEvent::MouseButtonPress: {
        const QPoint at = static_cast<QMouseEvent*>(event)->globalPosition().toPoint();
        QWidget* clicked = QApplication::widgetAt(at);
        if (!clicked) clicked = qobject_cast<QWidget*>(watched);
        Finish();
        HelpWindow::Open(owner_, HelpWindow::SectionFor(clicked));
        return true;
      }
      case QEvent::MouseButtonRelease:
      case QEvent::MouseButtonDblClick:
        return true;
      case QEvent::KeyPress:
        if (static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
          Finish();
          return true;
        }
        return false;
      default:
        return false;
    }
  }

 private:
  void Finish() {
    // The prompt asked for the click that has now come.
    if (auto* frame = qobject_cast<QMainWindow*>(owner_.data())) frame->statusBar()->clearMessage();
    qApp->removeEventFilter(this);
    deleteLater();
  }
  QPointer<QWidget> owner_;
};

class DialogHelpKey : public QObject {
 public:
  explicit DialogHelpKey(QWidget* owner) : QObject(owner), owner_(owner) { qApp->installEventFilter(this); }
  ~DialogHelpKey() override { qApp->removeEventFilter(this); }

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() != QEvent::KeyPress || static_cast<QKeyEvent*>(event)->key() != Qt::Key_F1 ||
        static_cast<QKeyEvent*>(event)->modifiers() != Qt::NoModifier)
      return false;
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal || (instance && instance->isActiveWindow())) return false;
    QWidget* focus = QApplication::focusWidget();
    HelpWindow::Open(owner_, HelpWindow::SectionFor(focus && modal->isAncestorOf(focus) ? focus : modal));
    return true;
  }

 private:
  QPointer<QWidget> owner_;
};

}  // namespace

HelpWindow::HelpWindow(QWidget* owner) : QWidget(owner, Qt::Window) {
  setAttribute(Qt::WA_DeleteOnClose, false);
  setWindowTitle(QStringLiteral("Справка Kalvor"));
  resize(820, 720);
  browser_ = new QTextBrowser(this);
  browser_->setOpenExternalLinks(true);
  auto* contents = new QPushButton(QStringLiteral("Содержание"), this);
  connect(contents, &QPushButton::clicked, this, [this] { ShowSection({}); });
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(contents);
  buttons->addStretch();
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(buttons);
  layout->addWidget(browser_);
  Load();
}

void HelpWindow::Load() {
  RegisterManual();
  QFile file(QStringLiteral(":/app/manual.md"));
  QString text = file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll())
                                                : QStringLiteral("# Справка не найдена\n");
  text.replace(kPackagedExamples, QDir::toNativeSeparators(ExamplesFolder()));

  // "## Title {#id}": the ids in the order of the headings, outside code.
  static const QRegularExpression idMark(QStringLiteral("\\s*\\{#([A-Za-z0-9-]+)\\}\\s*$"));
  QStringList lines = text.split(QLatin1Char('\n'));
  QStringList ids;
  bool inCode = false;
  for (QString& line : lines) {
    if (line.startsWith(QLatin1String("```"))) inCode = !inCode;
    if (inCode || !line.startsWith(QLatin1Char('#'))) continue;
    const QRegularExpressionMatch m = idMark.match(line);
    ids.append(m.hasMatch() ? m.captured(1) : QString());
    if (m.hasMatch()) line.truncate(m.capturedStart());
  }
  browser_->setMarkdown(lines.join(QLatin1Char('\n')));

  // Each marked heading becomes an anchor, so that links "#id" work too.
  int heading = 0;
  for (QTextBlock b = browser_->document()->begin(); b.isValid(); b = b.next()) {
    if (b.blockFormat().headingLevel() == 0) continue;
    const QString id = heading < ids.size() ? ids[heading] : QString();
    ++heading;
    if (id.isEmpty()) continue;
    sections_.insert(id, b.blockNumber());
    QTextCursor c(b);
    c.select(QTextCursor::BlockUnderCursor);
    c.movePosition(QTextCursor::StartOfBlock);
    c.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
    QTextCharFormat f;
    f.setAnchor(true);
    f.setAnchorNames({id});
    c.mergeCharFormat(f);
  }
}

HelpWindow* HelpWindow::Open(QWidget* owner, const QString& section) {
  // A modal dialog blocks every window but its own children: the manual then
  // opens as one of them.
  QWidget* parent = QApplication::activeModalWidget() ? QApplication::activeModalWidget() : owner;
  if (!parent) return nullptr;  // the frame is gone: nothing to help with
  if (instance && instance->parentWidget() != parent) {
    instance->setParent(parent, Qt::Window);
  }
  if (!instance) instance = new HelpWindow(parent);
  instance->show();
  instance->raise();
  instance->activateWindow();
  instance->ShowSection(section);
  return instance;
}

void HelpWindow::ShowSection(const QString& section) {
  if (section.isEmpty() || !sections_.contains(section)) {
    browser_->moveCursor(QTextCursor::Start);
    browser_->verticalScrollBar()->setValue(0);
    return;
  }
  browser_->scrollToAnchor(section);
}

QString HelpWindow::CurrentSection() const {
  // The last marked heading at or above the top of the visible text.
  const int top = browser_->cursorForPosition(QPoint(4, 4)).blockNumber();
  QString current;
  int best = -1;
  for (auto it = sections_.cbegin(); it != sections_.cend(); ++it)
    if (it.value() <= top && it.value() > best) {
      best = it.value();
      current = it.key();
    }
  return current;
}

QString HelpWindow::SectionForClass(const QString& className) {
  for (const auto& [cls, section] : kClassSections)
    if (className == QLatin1String(cls)) return QString::fromLatin1(section);
  return {};
}

QString HelpWindow::SectionFor(const QWidget* widget) {
  for (const QWidget* w = widget; w; w = w->parentWidget()) {
    if (const auto* button = qobject_cast<const QToolButton*>(w); button && button->defaultAction()) {
      bool ok = false;
      const int id = button->defaultAction()->data().toInt(&ok);
      if (ok) return SectionForCommand(id);
    }
    for (const auto& [cls, section] : kClassSections)
      if (w->inherits(cls)) return QString::fromLatin1(section);
  }
  return {};
}

void HelpWindow::StartContextHelp(QWidget* owner) { new ContextHelpFilter(owner); }

void HelpWindow::InstallDialogHelpKey(QWidget* owner) { new DialogHelpKey(owner); }

QString HelpWindow::ExamplesFolder() {
  const QDir bin(QCoreApplication::applicationDirPath());
  for (const QString& relative : {QStringLiteral("../share/kalvor/examples"), QStringLiteral("../../examples")}) {
    const QString path = QDir::cleanPath(bin.filePath(relative));
    if (QFileInfo(path).isDir()) return path;
  }
  return kPackagedExamples;
}
