#include "views/CLeftView_Empty.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QAction>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "document/CKalvorDoc.h"
#include "dialogs/CArchDialog.h"
#include "dialogs/CDialogCreateGeneratrix.h"
#include "dialogs/CLineDialog.h"
#include "model/Arch.h"
#include "model/Line.h"
#include "views/FieldPlot.h"
#include "views/KalvorIcons.h"
#include "views/LeftPaneHost.h"

using namespace KalvorIcons;

namespace {

constexpr int kChildCount = 8;

QString PotentialText(const SurfData& g) {
  if (g.isFloating) return QStringLiteral("Потенциал: неизвестный");
  if (g.isFixed) return QString::asprintf("Потенциал: фиксированный = %4.2f", g.fixedPotential);
  double from = 0.0, to = 0.0;
  g.GetVariablePotential(from, to);
  return QString::asprintf("Потенциал: переменный = (%4.2f - %4.2f)", from, to);
}

struct Child {
  QString text;
  int image;
};

}  // namespace

CLeftView_Empty::CLeftView_Empty(CKalvorDoc& doc, LeftPaneHost* host, QWidget* parent)
    : QWidget(parent), doc_(doc), host_(host) {
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel(QStringLiteral("Введеные параметры образующих поверхностей"), this));
  tree_ = new QTreeWidget(this);
  tree_->setHeaderHidden(true);
  tree_->setRootIsDecorated(true);
  tree_->setDragEnabled(false);
  tree_->setIconSize(QSize(16, 16));
  tree_->setContextMenuPolicy(Qt::CustomContextMenu);
  layout->addWidget(tree_, 1);
  auto* buttons = new QHBoxLayout;
  addButton_ = new QPushButton(QStringLiteral("Добавить"), this);
  hideButton_ = new QPushButton(QStringLiteral("Скрыть панель"), this);
  buttons->addWidget(addButton_);
  buttons->addStretch(1);
  buttons->addWidget(hideButton_);
  layout->addLayout(buttons);

  contextMenu_ = new QMenu(this);
  contextMenu_->addAction(QStringLiteral("Удалить"), this, &CLeftView_Empty::DeleteSelected);
  contextMenu_->addAction(QStringLiteral("Редактировать"), this, &CLeftView_Empty::EditSelected);
  plotAction_ = contextMenu_->addAction(QStringLiteral("График"), this, [this] {
    if (QTreeWidgetItem* item = SelectedTopLevel()) OpenGeneratrixPlot(doc_, tree_->indexOfTopLevelItem(item), window());
  });

  connect(addButton_, &QPushButton::clicked, this, &CLeftView_Empty::OnAdd);
  connect(hideButton_, &QPushButton::clicked, this, &CLeftView_Empty::OnHide);
  connect(tree_, &QTreeWidget::customContextMenuRequested, this, &CLeftView_Empty::OnContextMenu);
  connect(&doc_, &CKalvorDoc::generatrixAdded, this, &CLeftView_Empty::OnAdded);
  connect(&doc_, &CKalvorDoc::generatrixRemoved, this, &CLeftView_Empty::OnRemoved);
  connect(&doc_, &CKalvorDoc::generatrixChanged, this, &CLeftView_Empty::OnChanged);
  OnInitialUpdate();
}

void CLeftView_Empty::OnAdded(int index) {
  // Undoing a deletion puts the generatrix back in its place: the numbers
  // below it change, so the tree is built anew.
  if (index != tree_->topLevelItemCount()) {
    OnInitialUpdate();
    return;
  }
  tree_->setEnabled(true);
  if (const SurfData* g = doc_.Generatrices().At(index)) AppendItems(*g);
}

void CLeftView_Empty::OnRemoved(int index) {
  delete tree_->topLevelItem(index);
  // The data follow the collection; the numbers shown stay as they were
  // until the tree is built anew.
  itemCounter_ = tree_->topLevelItemCount();
  for (int i = 0; i < itemCounter_; ++i) tree_->topLevelItem(i)->setData(0, Qt::UserRole, i);
}

void CLeftView_Empty::OnChanged(int index) {
  QTreeWidgetItem* item = tree_->topLevelItem(index);
  const SurfData* g = doc_.Generatrices().At(index);
  if (!item || !g) return;
  item->setText(0, TopLevelText(*g, index + 1));
  item->setIcon(0, TreeIcon(g->GetKind() == SurfData::kLine ? kLineItem : kArcItem));
  WriteChildren(item, *g);
}

void CLeftView_Empty::OnInitialUpdate() {
  tree_->clear();
  itemCounter_ = 0;
  const CSurfColl& gens = doc_.Generatrices();
  tree_->setEnabled(!gens.IsEmpty());
  for (const auto& g : gens) AppendItems(*g);
}

QString CLeftView_Empty::TopLevelText(const SurfData& g, int number) {
  if (const auto* line = dynamic_cast<const Line*>(&g))
    return QString::asprintf("%2i: Отрезок прямой, (%4.1f, %4.1f) - (%4.1f, %4.1f)", number, line->x1, line->y1,
                             line->x2, line->y2);
  if (const auto* arch = dynamic_cast<const Arch*>(&g))
    return QString::asprintf("%2i: Окружность, (%4.1f, %4.1f),%4.1f; <%4.1f, %4.1f>", number, arch->xc, arch->yc,
                             arch->radius, RadiansToDegrees(arch->angle1), RadiansToDegrees(arch->angle2));
  return {};
}

void CLeftView_Empty::WriteChildren(QTreeWidgetItem* top, const SurfData& g) {
  const bool dielectric = g.material == 0;
  std::vector<Child> children;
  children.push_back({dielectric ? QStringLiteral("Диэлектрик") : QStringLiteral("Проводник"),
                      dielectric ? kDielectric : kConductor});
  children.push_back({QString::asprintf("Область внутри :%2i", g.innerRegion), kGeneral});
  children.push_back({QString::asprintf("Область снаружи :%2i", g.outerRegion), kGeneral});
  if (dielectric) children.push_back({QString::asprintf("Eps внутри : %4.2f", g.epsInner), kGeneral});
  children.push_back({QString::asprintf("Eps снаружи : %4.2f", g.epsOuter), kGeneral});
  if (!dielectric) children.push_back({PotentialText(g), kGeneral});
  children.push_back({QStringLiteral("Координаты:"), kCoordinates});
  children.push_back({QString::asprintf("Количество КТ : %2i", g.pointCount), kGeneral});
  children.push_back({QString::asprintf("Отношение l/d : %4.2f", g.ratioLd), kGeneral});

  while (top->childCount() < kChildCount) new QTreeWidgetItem(top);
  for (int i = 0; i < kChildCount; ++i) {
    top->child(i)->setText(0, children[i].text);
    top->child(i)->setIcon(0, TreeIcon(children[i].image));
  }

  std::vector<Child> coords;
  if (const auto* line = dynamic_cast<const Line*>(&g)) {
    coords = {{QString::asprintf("x1= %4.2f", line->x1), kX},
              {QString::asprintf("y1= %4.2f", line->y1), kY},
              {QString::asprintf("x2= %4.2f", line->x2), kX},
              {QString::asprintf("y2= %4.2f", line->y2), kY}};
  } else if (const auto* arch = dynamic_cast<const Arch*>(&g)) {
    coords = {{QString::asprintf("x= %4.2f", arch->xc), kX},
              {QString::asprintf("y= %4.2f", arch->yc), kY},
              {QString::asprintf("r= %4.2f", arch->radius), kRadius},
              {QString::asprintf("Teta1= %4.2f", RadiansToDegrees(arch->angle1)), kAngle},
              {QString::asprintf("Teta2= %4.2f", RadiansToDegrees(arch->angle2)), kAngle}};
  }
  QTreeWidgetItem* coordItem = top->child(5);
  while (coordItem->childCount() < static_cast<int>(coords.size())) new QTreeWidgetItem(coordItem);
  for (int i = 0; i < static_cast<int>(coords.size()); ++i) {
    coordItem->child(i)->setText(0, coords[i].text);
    coordItem->child(i)->setIcon(0, TreeIcon(coords[i].image));
  }
}

void CLeftView_Empty::AppendItems(const SurfData& g) {
  const int kind = g.GetKind();
  if (kind != SurfData::kLine && kind != SurfData::kArch) return;
  tree_->setEnabled(true);
  auto* top = new QTreeWidgetItem(tree_);
  top->setText(0, TopLevelText(g, itemCounter_ + 1));
  top->setIcon(0, TreeIcon(kind == SurfData::kLine ? kLineItem : kArcItem));
  top->setData(0, Qt::UserRole, itemCounter_);
  ++itemCounter_;
  WriteChildren(top, g);
}

QTreeWidgetItem* CLeftView_Empty::SelectedTopLevel() const {
  QTreeWidgetItem* item = tree_->currentItem();
  if (!item || !item->isSelected() || item->parent()) return nullptr;
  return item;
}

void CLeftView_Empty::OnContextMenu(const QPoint& pos) {
  if (QTreeWidgetItem* under = tree_->itemAt(pos)) tree_->setCurrentItem(under);
  plotAction_->setEnabled(doc_.ResultsPresent());
  if (SelectedTopLevel()) contextMenu_->popup(tree_->viewport()->mapToGlobal(pos));
}

void CLeftView_Empty::DeleteSelected() {
  QTreeWidgetItem* item = SelectedTopLevel();
  if (!item) return;
  if (QMessageBox::question(window(), QStringLiteral("Ты, чо, серьезно"),
                            QStringLiteral("Вы действительно хотите удалить выбранную образующую?"),
                            QMessageBox::Yes | QMessageBox::No) != QMessageBox::Yes)
    return;
  doc_.RemoveGeneratrix(item->data(0, Qt::UserRole).toInt());
}

void CLeftView_Empty::EditSelected() {
  QTreeWidgetItem* item = SelectedTopLevel();
  if (!item) return;
  const int position = item->data(0, Qt::UserRole).toInt();
  const SurfData* g = doc_.Generatrices().At(position);
  if (!g) return;
  std::unique_ptr<SurfData> edited = g->Clone();
  if (auto* line = dynamic_cast<Line*>(edited.get())) {
    CLineDialog dlg(window());
    dlg.FillFrom(*line);
    if (dlg.exec() != QDialog::Accepted) return;
    dlg.ApplyTo(*line);
  } else if (auto* arch = dynamic_cast<Arch*>(edited.get())) {
    CArchDialog dlg(window());
    dlg.FillFrom(*arch);
    if (dlg.exec() != QDialog::Accepted) return;
    dlg.ApplyTo(*arch);
  } else {
    return;
  }
  doc_.ReplaceGeneratrix(position, std::move(edited));
}

void CLeftView_Empty::OnAdd() {
  CDialogCreateGeneratrix chooser(window());
  if (chooser.exec() != QDialog::Accepted) return;
  if (host_) host_->CreateGeneratrix(chooser.kind == CDialogCreateGeneratrix::kArc);
}

void CLeftView_Empty::OnHide() {
  if (host_) host_->HideLeftPane();
}
