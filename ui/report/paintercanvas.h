#pragma once
// The report canvas on a QPainter: page units are mapped onto device pixels by a scale in each
// direction, fonts keep their point size on the painter's device, and line widths are counted in
// device pixels of the target (times a factor for devices whose pixels are finer than the
// target's, see printReport). The preview and the printer both draw through it.

#include "ui/report/reportcanvas.h"

#include <QFont>
#include <QPointF>
#include <QStringList>

class QPainter;

namespace tamso::ui {

class PainterCanvas : public ReportCanvas {
public:
    struct Mapping {
        double unitsToDeviceX = 1; // device pixels per page unit across
        double unitsToDeviceY = 1; // device pixels per page unit down
        double lineWidthScale = 1; // device pixels per line-width pixel
        double hatchScale = 1;     // size of the hatch pattern against an ordinary screen
    };

    // The painter must be active for as long as the canvas draws.
    PainterCanvas(QPainter& painter, const Mapping& mapping);

    void setFontName(const QString& name) override;
    void setFontCharset(int charset) override;
    void setFontSize(double points) override;
    void moveTo(double x, double y) override;
    void printText(const QString& text, bool endsLine) override;
    std::optional<QSizeF> measureText(const QString& text) const override;
    void box(double x1, double y1, double x2, double y2, std::optional<QColor> colour) override;
    void line(double x1, double y1, double x2, double y2) override;
    void lineTo(double x, double y) override;
    void circle(double cx, double cy, double radius, std::optional<QColor> colour,
                std::optional<ArcAngles> arc, double aspect) override;
    void setLineWidth(int pixels) override;
    void setFillStyle(FillStyle style) override;
    void setFillColour(const QColor& colour) override;
    void endDocument() override;

    // The current position in page units.
    QPointF currentPosition() const { return position_; }
    int fontCharset() const { return charset_; }

protected:
    // The families later text is drawn with, the first preferred (the printer's copies of a font).
    void setFontFamilies(const QStringList& families);

private:
    QPointF toDevice(double x, double y) const;
    void usePen(const std::optional<QColor>& colour);
    void useBrush();

    QPainter& painter_;
    Mapping mapping_;
    QFont font_;
    int charset_ = 0;
    QPointF position_;
    int lineWidth_ = 1;
    FillStyle fillStyle_ = FillStyle::Transparent;
    QColor fillColour_ = Qt::black;
};

} // namespace tamso::ui
