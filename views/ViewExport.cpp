#include "views/ViewExport.h"


#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QSvgGenerator>
#include <QBuffer>

#include "document/SafeSave.h"
#include "views/CKalvorView.h"

QString ExportView(CKalvorView& view, const QString& path) {
  const ViewMapping mapping = view.Mapping(false);
  const QSize size = view.viewport()->size();
  const QString suffix = QFileInfo(path).suffix().toLower();
  QByteArray bytes;
  if (suffix == QLatin1String("svg")) {
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QSvgGenerator svg;
    svg.setOutputDevice(&buffer);
    svg.setSize(size);
    svg.setViewBox(QRect(QPoint(0, 0), size));
    svg.setTitle(QStringLiteral("Kalvor"));
    QPainter painter(&svg);
    painter.fillRect(QRect(QPoint(0, 0), size), Qt::white);
    view.PaintSystem(painter, mapping);
  } else if (suffix == QLatin1String("png")) {
    QImage image(size, QImage::Format_ARGB32);
    image.fill(Qt::white);
    {
      QPainter painter(&image);
      view.PaintSystem(painter, mapping);
    }
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, "PNG")) return QStringLiteral("Не удается записать изображение %1").arg(path);
  } else {
    return QStringLiteral("Неизвестный формат файла %1: нужен .png или .svg").arg(path);
  }
  if (const QString reason = SafeSave(path, bytes); !reason.isEmpty())
    return QStringLiteral("Не удается сохранить файл %1:\n%2").arg(path, reason);
  return {};
}
