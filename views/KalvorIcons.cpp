#include "views/KalvorIcons.h"

#include <QString>
#include <iterator>

#include "dialogs/Pictures.h"

// Outside any namespace: the macro declares the resource's init function.
static void RegisterKalvorIcons() { Q_INIT_RESOURCE(KalvorIcons); }

namespace KalvorIcons {

namespace {

// The SVG files of views/icons/, in the order of the enums.
constexpr const char* kTreeFiles[kTreeImageCount] = {
    "general", "line-item", "arc-item", "dielectric", "conductor", "coordinates", "x", "y", "radius", "angle"};
constexpr const char* kToolFiles[] = {"new",      "open",    "save",  "cut",   "copy",         "paste",      "print-preview",
                                      "zoom-in",  "zoom-out", "print", "about", "context-help", "create-arc", "create-line"};
static_assert(std::size(kToolFiles) == kMainIcon);

QIcon ViewIcon(const char* name) {
  static const bool registered = (RegisterKalvorIcons(), true);
  (void)registered;
  return QIcon(QStringLiteral(":/views/icons/%1.svg").arg(QLatin1String(name)));
}

}  // namespace

QIcon TreeIcon(int index) {
  if (index < 0 || index >= kTreeImageCount) return {};
  return ViewIcon(kTreeFiles[index]);
}

QIcon ToolIcon(ToolImage image) {
  if (image == kMainIcon) return pictures::MainIcon();
  return ViewIcon(kToolFiles[image]);
}

}  // namespace KalvorIcons
