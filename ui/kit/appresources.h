#pragma once
// The program's own pictures and icons (SVG, compiled in from ui/shell/resources/tamso.qrc).

#include <QIcon>
#include <QPixmap>
#include <QSize>
#include <QString>

namespace tamso::ui {

// Registers the compiled-in resources; safe to call more than once. Screens call it before
// loading a picture so that the static library's resource object is always linked in.
void ensureResources();

// An SVG resource (":/tamso/go.svg") drawn at this size (device-pixel ratio of the screen).
QPixmap svgPixmap(const QString& resource, QSize size);
QIcon svgIcon(const QString& resource, QSize size);

} // namespace tamso::ui
