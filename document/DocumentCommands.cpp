#include "document/DocumentCommands.h"

#include "document/CKalvorDoc.h"

AddGeneratrixCommand::AddGeneratrixCommand(CKalvorDoc& doc, std::unique_ptr<SurfData> g)
    : QUndoCommand(QStringLiteral("Добавление образующей")), doc_(doc), element_(std::move(g)) {}

void AddGeneratrixCommand::redo() {
  const int at = index_ < 0 ? doc_.Generatrices().GetSize() : index_;
  index_ = doc_.InsertGeneratrixAt(at, element_->Clone());
}

void AddGeneratrixCommand::undo() { doc_.DoRemoveGeneratrix(index_); }

RemoveGeneratrixCommand::RemoveGeneratrixCommand(CKalvorDoc& doc, int index)
    : QUndoCommand(QStringLiteral("Удаление образующей")), doc_(doc), index_(index) {
  if (const SurfData* g = doc.Generatrices().At(index)) element_ = g->Clone();
}

void RemoveGeneratrixCommand::redo() { doc_.DoRemoveGeneratrix(index_); }

void RemoveGeneratrixCommand::undo() {
  if (element_) doc_.InsertGeneratrixAt(index_, element_->Clone());
}

ReplaceGeneratrixCommand::ReplaceGeneratrixCommand(CKalvorDoc& doc, int index, std::unique_ptr<SurfData> g)
    : QUndoCommand(QStringLiteral("Изменение образующей")), doc_(doc), after_(std::move(g)), index_(index) {
  if (const SurfData* old = doc.Generatrices().At(index)) before_ = old->Clone();
}

void ReplaceGeneratrixCommand::redo() { doc_.DoReplaceGeneratrix(index_, after_->Clone()); }

void ReplaceGeneratrixCommand::undo() { doc_.DoReplaceGeneratrix(index_, before_->Clone()); }

SetParametersCommand::SetParametersCommand(CKalvorDoc& doc, const CalcParameters& p)
    : QUndoCommand(QStringLiteral("Параметры расчета")), doc_(doc), before_(doc.Parameters()), after_(p) {}

void SetParametersCommand::redo() { doc_.DoSetParameters(after_); }

void SetParametersCommand::undo() { doc_.DoSetParameters(before_); }

SetGapCurvesCommand::SetGapCurvesCommand(CKalvorDoc& doc, CSurfColl curves)
    : QUndoCommand(QStringLiteral("Точки в промежутке")),
      doc_(doc),
      before_(doc.GapCurves().Clone()),
      after_(std::move(curves)),
      ownerBefore_(doc.GapCurvesOwner()),
      ownerAfter_(doc.SystemIdentity()) {}

// Curves set while a system is open are that system's.
void SetGapCurvesCommand::redo() { doc_.DoSetGapCurves(after_.Clone(), ownerAfter_); }

void SetGapCurvesCommand::undo() { doc_.DoSetGapCurves(before_.Clone(), ownerBefore_); }
