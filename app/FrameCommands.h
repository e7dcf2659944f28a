#pragma once
// The frame's commands: numeric id, menu text, accelerators and the prompt
// whose part before "\n" goes to the status bar and whose part after it is
// the toolbar tooltip. Menu, toolbar and keyboard share one QAction per id.
// The keypad's + and - zoom too (whatever the NumLock state); the frame
// handles them, since a shortcut on them would take the minus sign from
// the number fields.

#include <QKeySequence>
#include <QList>
#include <QString>

enum CommandId {
  ID_FILE_NEW = 57600,
  ID_FILE_OPEN = 57601,
  ID_FILE_SAVE = 57603,
  ID_FILE_SAVE_AS = 57604,
  ID_FILE_PAGE_SETUP = 57606,
  ID_FILE_PRINT = 57607,
  ID_FILE_PRINT_DIRECT = 57608,
  ID_FILE_PRINT_PREVIEW = 57609,
  ID_FILE_MRU_FILE1 = 57616,
  ID_APP_EXIT = 57665,
  ID_EDIT_UNDO = 57643,
  ID_EDIT_REDO = 57644,
  ID_EDIT_CUT = 57635,
  ID_EDIT_COPY = 57634,
  ID_EDIT_PASTE = 57637,
  ID_VIEW_TOOLBAR = 59392,
  ID_VIEW_STATUS_BAR = 59393,
  ID_WINDOW_SPLIT = 57653,
  ID_SHOW_GAP_CURVES = 32796,
  ID_SHOW_CHARGES = 32797,
  ID_ZOOM_IN = 32778,
  ID_ZOOM_OUT = 32779,
  ID_ZOOM_FIT = 32780,
  ID_CALC_PARAMETERS = 32785,
  ID_GAP_CURVES = 32789,
  ID_CALCULATE = 32784,
  ID_GAP_CALCULATE = 32790,
  ID_HELP_FINDER = 57667,
  ID_APP_ABOUT = 57664,
  ID_CONTEXT_HELP = 57669,
  ID_HELP = 57670,
  ID_DEFAULT_HELP = 57671,
  ID_NEXT_PANE = 57680,
  ID_PREV_PANE = 57681,
  ID_CREATE_ARC = 32771,
  ID_CREATE_LINE = 32773,
  ID_FIELD_MAP = 32800,
  ID_EQUIPOTENTIALS = 32801,
  ID_FIELD_LINES = 32802,
  ID_FIELD_PICTURE = 32803,
  ID_EXPORT_VIEW = 32804,
  ID_RESULTS_PANE = 32805,
  ID_FULL_SECTION = 32821,
  ID_STUDY = 32806,
};

struct FrameCommand {
  int id;
  QString text;  // menu text without the accelerator
  QList<QKeySequence> shortcuts;
  QString prompt;

  QString StatusTip() const { return prompt.section('\n', 0, 0); }
  QString ToolTip() const { return prompt.contains('\n') ? prompt.section('\n', 1) : QString(); }
};

const QList<FrameCommand>& FrameCommands();
const FrameCommand* FindCommand(int id);
