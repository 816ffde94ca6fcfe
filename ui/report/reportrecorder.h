#pragma once
// A canvas that writes every drawing operation as one line of text, for tests and diagnostics.
// Numbers use their shortest decimal text, colours "#rrggbb", the default colour "default".

#include "ui/report/reportcanvas.h"

#include <QStringList>

namespace tamso::ui {

class RecordingCanvas : public ReportCanvas {
public:
    const QStringList& operations() const { return operations_; }
    void clear() { operations_.clear(); }

    void setFontName(const QString& name) override;
    void setFontCharset(int charset) override;
    void setFontSize(double points) override;
    void moveTo(double x, double y) override;
    void printText(const QString& text, bool endsLine) override;
    void box(double x1, double y1, double x2, double y2, std::optional<QColor> colour) override;
    void line(double x1, double y1, double x2, double y2) override;
    void lineTo(double x, double y) override;
    void circle(double cx, double cy, double radius, std::optional<QColor> colour,
                std::optional<ArcAngles> arc, double aspect) override;
    void setLineWidth(int pixels) override;
    void setFillStyle(FillStyle style) override;
    void setFillColour(const QColor& colour) override;
    void endDocument() override;

private:
    QStringList operations_;
};

} // namespace tamso::ui
