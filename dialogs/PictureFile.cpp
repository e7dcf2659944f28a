#include "dialogs/PictureFile.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QSvgGenerator>

#include "engine/AtomicFile.h"

QString SavePicture(const QString& path, QSize size, const std::function<void(QPainter&)>& draw,
                    const QString& formats) {
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
    draw(painter);
  } else if (suffix == QLatin1String("png")) {
    QImage image(size, QImage::Format_ARGB32);
    image.fill(Qt::white);
    {
      QPainter painter(&image);
      painter.setRenderHint(QPainter::Antialiasing);
      draw(painter);
    }
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, "PNG")) return QStringLiteral("Не удается записать изображение %1").arg(path);
  } else {
    return QStringLiteral("Неизвестный формат файла %1: нужен %2").arg(path, formats);
  }
  const std::string reason = WriteFileAtomically(QFile::encodeName(path).toStdString(),
                                                 std::string_view(bytes.constData(), static_cast<size_t>(bytes.size())));
  if (!reason.empty())
    return QStringLiteral("Не удается сохранить файл %1:\n%2").arg(path, QString::fromStdString(reason));
  return {};
}
