#pragma once
// One undoable step that puts a whole new system in place of the old one:
// a rounded corner (two pieces trimmed, an arc between them, perhaps a
// piece used up) or an imported drawing.

#include <QString>
#include <QUndoCommand>

#include "model/CSurfColl.h"

class CKalvorDoc;

class ReplaceSystemCommand : public QUndoCommand {
 public:
  ReplaceSystemCommand(CKalvorDoc& doc, CSurfColl after, const QString& text);
  void redo() override;
  void undo() override;

 private:
  // Through the document's own operations, element by element, so that the
  // panes follow the same signals as for any edit.
  void Set(const CSurfColl& system);

  CKalvorDoc& doc_;
  CSurfColl before_;
  CSurfColl after_;
};
