#pragma once
// "Расчет → Исследование параметра…": the study dialog on a copy of the
// document's system and parameters (the document is not changed by the
// study); a row saved as a system is opened in the program afterwards,
// with the external field, earth and mode it was calculated with.

class CKalvorDoc;
class CMainFrame;

void RunStudyCommand(CMainFrame& frame, CKalvorDoc& doc);
