#pragma once
// What the views show of the discharge inception screening: rows of the
// results pane per body and point (onset and margin, red below 1), and the
// critical field lines on the geometry view (the avalanche region thick).

struct InceptionResult;
class QPainter;
class QTreeWidgetItem;
class ViewMapping;

// Fills `section` (one row per body and point; a row's `pointRole` data is
// the start of its critical line, in cm).
void AddInceptionRows(QTreeWidgetItem* section, const InceptionResult& result, int pointRole);

// The critical line of every body and point that incepts.
void PaintCriticalLines(QPainter& painter, const ViewMapping& mapping, const InceptionResult& result);
