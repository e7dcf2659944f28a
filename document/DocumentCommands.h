#pragma once
// The undoable changes to the field system. Each command keeps copies of
// what it needs to redo and undo itself and calls the document's own
// operations, so the signals the views follow are the same either way.

#include <QUndoCommand>
#include <memory>

#include "engine/CalcParameters.h"
#include "model/CSurfColl.h"

class CKalvorDoc;

class AddGeneratrixCommand : public QUndoCommand {
 public:
  AddGeneratrixCommand(CKalvorDoc& doc, std::unique_ptr<SurfData> g);
  void redo() override;
  void undo() override;
  int Index() const { return index_; }

 private:
  CKalvorDoc& doc_;
  std::unique_ptr<SurfData> element_;
  int index_ = -1;
};

class RemoveGeneratrixCommand : public QUndoCommand {
 public:
  RemoveGeneratrixCommand(CKalvorDoc& doc, int index);
  void redo() override;
  void undo() override;

 private:
  CKalvorDoc& doc_;
  std::unique_ptr<SurfData> element_;
  int index_;
};

class ReplaceGeneratrixCommand : public QUndoCommand {
 public:
  ReplaceGeneratrixCommand(CKalvorDoc& doc, int index, std::unique_ptr<SurfData> g);
  void redo() override;
  void undo() override;

 private:
  CKalvorDoc& doc_;
  std::unique_ptr<SurfData> before_;
  std::unique_ptr<SurfData> after_;
  int index_;
};

class SetParametersCommand : public QUndoCommand {
 public:
  SetParametersCommand(CKalvorDoc& doc, const CalcParameters& p);
  void redo() override;
  void undo() override;

 private:
  CKalvorDoc& doc_;
  CalcParameters before_;
  CalcParameters after_;
};

class SetGapCurvesCommand : public QUndoCommand {
 public:
  SetGapCurvesCommand(CKalvorDoc& doc, CSurfColl curves);
  void redo() override;
  void undo() override;

 private:
  CKalvorDoc& doc_;
  CSurfColl before_;
  CSurfColl after_;
  QString ownerBefore_;
  QString ownerAfter_;
};
