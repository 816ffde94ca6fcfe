#include "ui/report/reportrecorder.h"

namespace tamso::ui {
namespace {

QString num(double value) {
    return QString::number(value);
}
QString colourText(const std::optional<QColor>& colour) {
    return colour ? colour->name() : QStringLiteral("default");
}

} // namespace

void RecordingCanvas::setFontName(const QString& name) {
    operations_ << QStringLiteral("font name ") + name;
}
void RecordingCanvas::setFontCharset(int charset) {
    operations_ << QStringLiteral("font charset ") + QString::number(charset);
}
void RecordingCanvas::setFontSize(double points) {
    operations_ << QStringLiteral("font size ") + num(points);
}
void RecordingCanvas::moveTo(double x, double y) {
    operations_ << QStringLiteral("move %1 %2").arg(num(x), num(y));
}
void RecordingCanvas::printText(const QString& text, bool endsLine) {
    operations_ << QStringLiteral("%1 [%2]").arg(endsLine ? QStringLiteral("text") : QStringLiteral("text+"),
                                                 text);
}
void RecordingCanvas::box(double x1, double y1, double x2, double y2, std::optional<QColor> colour) {
    operations_
        << QStringLiteral("box %1 %2 %3 %4 %5").arg(num(x1), num(y1), num(x2), num(y2), colourText(colour));
}
void RecordingCanvas::line(double x1, double y1, double x2, double y2) {
    operations_ << QStringLiteral("line %1 %2 %3 %4").arg(num(x1), num(y1), num(x2), num(y2));
}
void RecordingCanvas::lineTo(double x, double y) {
    operations_ << QStringLiteral("to %1 %2").arg(num(x), num(y));
}
void RecordingCanvas::circle(double cx, double cy, double radius, std::optional<QColor> colour,
                             std::optional<ArcAngles> arc, double aspect) {
    QString op = QStringLiteral("circle %1 %2 %3 %4").arg(num(cx), num(cy), num(radius), colourText(colour));
    if (arc)
        op += QStringLiteral(" arc %1 %2").arg(num(arc->start), num(arc->end));
    if (aspect != 1.0)
        op += QStringLiteral(" aspect ") + num(aspect);
    operations_ << op;
}
void RecordingCanvas::setLineWidth(int pixels) {
    operations_ << QStringLiteral("width ") + QString::number(pixels);
}
void RecordingCanvas::setFillStyle(FillStyle style) {
    switch (style) {
    case FillStyle::Transparent:
        operations_ << QStringLiteral("fill transparent");
        break;
    case FillStyle::Solid:
        operations_ << QStringLiteral("fill solid");
        break;
    case FillStyle::Hatched:
        operations_ << QStringLiteral("fill hatched");
        break;
    }
}
void RecordingCanvas::setFillColour(const QColor& colour) {
    operations_ << QStringLiteral("fillcolour ") + colour.name();
}
void RecordingCanvas::endDocument() {
    operations_ << QStringLiteral("end");
}

} // namespace tamso::ui
