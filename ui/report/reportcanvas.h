#pragma once
// The drawing operations the report layout uses, in page units of about one millimetre (x to the
// right, y downwards, origin at the top left of the drawing surface). The preview, the printer and
// the test recorder implement them.

#include <QColor>
#include <QSizeF>
#include <QString>

#include <optional>

namespace tamso::ui {

enum class FillStyle {
    Transparent,
    Solid,
    Hatched, // lines running down from left to right
};

// Start and end angle of an elliptical arc in radians, counter-clockwise from the 3 o'clock
// direction as seen on the page.
struct ArcAngles {
    double start = 0;
    double end = 0;
};

class ReportCanvas {
public:
    virtual ~ReportCanvas() = default;

    // Font: name, character set (128 = Shift-JIS) and size in points; each applies to later text.
    virtual void setFontName(const QString& name) = 0;
    virtual void setFontCharset(int charset) = 0;
    virtual void setFontSize(double points) = 0;

    // Text at the current position, its top left corner there. A text that ends its line moves the
    // position to the start of the next line; one that continues its line leaves the position
    // directly after itself.
    virtual void moveTo(double x, double y) = 0;
    virtual void printText(const QString& text, bool endsLine) = 0;
    // The width and the height (ascent and descent) the text takes in the current font, in page
    // units; nothing where the canvas cannot measure, and the layout then draws every text at its
    // own size.
    virtual std::optional<QSizeF> measureText(const QString& text) const {
        (void)text;
        return std::nullopt;
    }

    // Outline of the rectangle between two corners, filled by the current fill style and colour.
    // No colour: the default drawing colour (black).
    virtual void box(double x1, double y1, double x2, double y2, std::optional<QColor> colour = {}) = 0;
    // A line between two points; lineTo continues from the end of the previous segment.
    virtual void line(double x1, double y1, double x2, double y2) = 0;
    virtual void lineTo(double x, double y) = 0;
    // Circle, ellipse or elliptical arc. aspect = height / width: above 1 the radius is the vertical
    // half-axis, below 1 the horizontal one.
    virtual void circle(double cx, double cy, double radius, std::optional<QColor> colour = {},
                        std::optional<ArcAngles> arc = {}, double aspect = 1.0) = 0;

    // Line width in device pixels; fill style and colour for later boxes, circles and ellipses.
    virtual void setLineWidth(int pixels) = 0;
    virtual void setFillStyle(FillStyle style) = 0;
    virtual void setFillColour(const QColor& colour) = 0;

    // Ends the document: the printer sends the page. Other targets do nothing.
    virtual void endDocument() = 0;
};

} // namespace tamso::ui
