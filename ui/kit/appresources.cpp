#include "ui/kit/appresources.h"

#include <QGuiApplication>
#include <QPainter>
#include <QSvgRenderer>
#include <QtGlobal>

static void initTamsoResources() { Q_INIT_RESOURCE(tamso); }

namespace tamso::ui {

void ensureResources() {
    static const bool done = [] {
        initTamsoResources();
        return true;
    }();
    (void)done;
}

} // namespace tamso::ui

namespace tamso::ui {

QPixmap svgPixmap(const QString& resource, QSize size) {
    ensureResources();
    const qreal ratio = qGuiApp ? qGuiApp->devicePixelRatio() : 1.0;
    QPixmap pixmap(size * ratio);
    pixmap.setDevicePixelRatio(ratio);
    pixmap.fill(Qt::transparent);
    QSvgRenderer renderer(resource);
    QPainter painter(&pixmap);
    renderer.render(&painter, QRectF(QPointF(0, 0), QSizeF(size)));
    return pixmap;
}

QIcon svgIcon(const QString& resource, QSize size) { return QIcon(svgPixmap(resource, size)); }

} // namespace tamso::ui
