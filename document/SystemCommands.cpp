#include "document/SystemCommands.h"

#include "document/CKalvorDoc.h"

ReplaceSystemCommand::ReplaceSystemCommand(CKalvorDoc& doc, CSurfColl after, const QString& text)
    : QUndoCommand(text), doc_(doc), before_(doc.Generatrices().Clone()), after_(std::move(after)) {}

void ReplaceSystemCommand::redo() { Set(after_); }

void ReplaceSystemCommand::undo() { Set(before_); }

void ReplaceSystemCommand::Set(const CSurfColl& system) {
  const int want = system.GetSize();
  while (doc_.Generatrices().GetSize() > want) doc_.DoRemoveGeneratrix(doc_.Generatrices().GetSize() - 1);
  for (int k = 0; k < want; ++k) {
    auto copy = system.At(k)->Clone();
    copy->marked = false;
    if (k < doc_.Generatrices().GetSize())
      doc_.DoReplaceGeneratrix(k, std::move(copy));
    else
      doc_.InsertGeneratrixAt(k, std::move(copy));
  }
}
