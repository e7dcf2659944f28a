#pragma once
// The application object: settings names, the one document and the main
// frame, the command line ("kalvor [FILE]").

#include <QObject>
#include <QStringList>
#include <memory>

class CKalvorDoc;
class CMainFrame;
class QTranslator;

class CKalvorApp : public QObject {
  Q_OBJECT

 public:
  CKalvorApp();
  ~CKalvorApp() override;

  // Builds the document and the frame and carries out the command line
  // (arguments without the program name): none creates an empty system,
  // a file name opens that file. False when the named file cannot be opened.
  bool InitInstance(const QStringList& arguments, bool show = true);

  CKalvorDoc* Document() const { return doc_.get(); }
  CMainFrame* MainFrame() const { return frame_.get(); }

 private:
  // Qt's own Russian texts: standard buttons, file and print dialogs.
  std::unique_ptr<QTranslator> qtTranslator_;
  std::unique_ptr<CKalvorDoc> doc_;
  std::unique_ptr<CMainFrame> frame_;
};
