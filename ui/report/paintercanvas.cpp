#include "ui/report/paintercanvas.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QTransform>

#include <cmath>

namespace tamso::ui {
namespace {

constexpr double kRadiansToSixteenthDegrees = 180.0 / 3.14159265358979323846 * 16.0;

} // namespace

PainterCanvas::PainterCanvas(QPainter& painter, const Mapping& mapping)
    : painter_(painter), mapping_(mapping) {
    painter_.setRenderHint(QPainter::Antialiasing, true);
    painter_.setRenderHint(QPainter::TextAntialiasing, true);
    font_.setPointSizeF(9);
}

QPointF PainterCanvas::toDevice(double x, double y) const {
    return QPointF(x * mapping_.unitsToDeviceX, y * mapping_.unitsToDeviceY);
}

void PainterCanvas::setFontName(const QString& name) {
    font_.setFamily(name);
}
void PainterCanvas::setFontFamilies(const QStringList& families) {
    font_.setFamilies(families);
}
// Text is Unicode throughout; the Japanese glyphs come from the font family (with its substitutes).
void PainterCanvas::setFontCharset(int charset) {
    charset_ = charset;
}
void PainterCanvas::setFontSize(double points) {
    font_.setPointSizeF(points);
}

void PainterCanvas::moveTo(double x, double y) {
    position_ = QPointF(x, y);
}

void PainterCanvas::printText(const QString& text, bool endsLine) {
    painter_.setFont(font_);
    const QFontMetricsF metrics(font_, painter_.device());
    const QPointF topLeft = toDevice(position_.x(), position_.y());
    painter_.setPen(QPen(Qt::black));
    painter_.drawText(QPointF(topLeft.x(), topLeft.y() + metrics.ascent()), text);
    if (endsLine)
        position_ = QPointF(0, position_.y() + metrics.height() / mapping_.unitsToDeviceY);
    else
        position_.rx() += metrics.horizontalAdvance(text) / mapping_.unitsToDeviceX;
}

std::optional<QSizeF> PainterCanvas::measureText(const QString& text) const {
    const QFontMetricsF metrics(font_, painter_.device());
    return QSizeF(metrics.horizontalAdvance(text) / mapping_.unitsToDeviceX,
                  (metrics.ascent() + metrics.descent()) / mapping_.unitsToDeviceY);
}

void PainterCanvas::usePen(const std::optional<QColor>& colour) {
    QPen pen(colour.value_or(QColor(Qt::black)));
    pen.setWidthF(std::max(1.0, lineWidth_ * mapping_.lineWidthScale));
    pen.setCapStyle(Qt::RoundCap);
    pen.setJoinStyle(Qt::RoundJoin);
    painter_.setPen(pen);
}

void PainterCanvas::useBrush() {
    switch (fillStyle_) {
    case FillStyle::Transparent:
        painter_.setBrush(Qt::NoBrush);
        break;
    case FillStyle::Solid:
        painter_.setBrush(QBrush(fillColour_));
        break;
    case FillStyle::Hatched: {
        // Qt's forward diagonal runs down from left to right on the page (y grows downwards).
        QBrush brush(fillColour_, Qt::FDiagPattern);
        brush.setTransform(QTransform::fromScale(mapping_.hatchScale, mapping_.hatchScale));
        painter_.setBrush(brush);
        break;
    }
    }
}

void PainterCanvas::box(double x1, double y1, double x2, double y2, std::optional<QColor> colour) {
    usePen(colour);
    useBrush();
    painter_.drawRect(QRectF(toDevice(x1, y1), toDevice(x2, y2)).normalized());
    position_ = QPointF(x2, y2);
}

void PainterCanvas::line(double x1, double y1, double x2, double y2) {
    usePen({});
    painter_.drawLine(toDevice(x1, y1), toDevice(x2, y2));
    position_ = QPointF(x2, y2);
}

void PainterCanvas::lineTo(double x, double y) {
    line(position_.x(), position_.y(), x, y);
}

void PainterCanvas::circle(double cx, double cy, double radius, std::optional<QColor> colour,
                           std::optional<ArcAngles> arc, double aspect) {
    double halfWidth = radius;
    double halfHeight = radius;
    if (aspect > 1.0)
        halfWidth = radius / aspect;
    else if (aspect < 1.0 && aspect > 0.0)
        halfHeight = radius * aspect;
    const QPointF centre = toDevice(cx, cy);
    const QRectF rect(centre.x() - halfWidth * mapping_.unitsToDeviceX,
                      centre.y() - halfHeight * mapping_.unitsToDeviceY,
                      2 * halfWidth * mapping_.unitsToDeviceX, 2 * halfHeight * mapping_.unitsToDeviceY);
    usePen(colour);
    if (arc) {
        double span = arc->end - arc->start;
        while (span < 0)
            span += 2 * 3.14159265358979323846;
        // Qt's positive angles already turn counter-clockwise as seen on the device.
        painter_.drawArc(rect, static_cast<int>(std::lround(arc->start * kRadiansToSixteenthDegrees)),
                         static_cast<int>(std::lround(span * kRadiansToSixteenthDegrees)));
    } else {
        useBrush();
        painter_.drawEllipse(rect);
    }
    position_ = QPointF(cx, cy);
}

void PainterCanvas::setLineWidth(int pixels) {
    lineWidth_ = pixels;
}
void PainterCanvas::setFillStyle(FillStyle style) {
    fillStyle_ = style;
}
void PainterCanvas::setFillColour(const QColor& colour) {
    fillColour_ = colour;
}
void PainterCanvas::endDocument() {}

} // namespace tamso::ui
