#pragma once
// The frame both gap-curve dialogs share: the region and point-count edits
// with their up-down controls, a coordinate group box and OK / Отмена.

class QDialog;
class QGroupBox;
class QLineEdit;

namespace curve_dialog {

constexpr const char* kTitle = "Параметры обраующей расчетной поверхности";
constexpr const char* kRegionLabel = "Индентификатор расчетной области";
constexpr const char* kPointsLabel = "Количество расчетных точек";

// Lays the dialog out around `geometry`.
void Build(QDialog* dialog, QLineEdit* region, QLineEdit* points, QGroupBox* geometry);

}  // namespace curve_dialog
