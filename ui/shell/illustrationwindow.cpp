#include "ui/shell/illustrationwindow.h"

#include "ui/kit/uiutil.h"

#include <QCoreApplication>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>

namespace tamso::ui {

namespace {
constexpr int kDesignWidth = 468;
constexpr int kDesignHeight = 488;

// Translated when used: the heading is built after the translator is installed.
QString heading() {
    return QCoreApplication::translate("IllustrationWindow", "保育器外側の周辺線量当量評価点");
}

// A distance mark: a line with arrow heads at both ends.
void dimension(QPainter& p, QPointF a, QPointF b) {
    p.drawLine(a, b);
    const QLineF line(a, b);
    for (const auto& [tip, towards] : {std::pair{a, b}, std::pair{b, a}}) {
        QLineF back(tip, towards);
        back.setLength(7);
        QLineF left = back, right = back;
        left.setAngle(back.angle() + 25);
        right.setAngle(back.angle() - 25);
        p.drawLine(left);
        p.drawLine(right);
    }
    (void)line;
}
} // namespace

IncubatorDrawing::IncubatorDrawing(QWidget* parent) : QWidget(parent) {
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::white);
    setPalette(pal);
}

QStringList IncubatorDrawing::labels() {
    return {heading(),           QStringLiteral("FFD"), QStringLiteral("40 cm"), QStringLiteral("PMMA 6mm"),
            QStringLiteral("1"), QStringLiteral("2"),   QStringLiteral("3"),     QStringLiteral("30 cm")};
}

namespace {

const QColor kInk(0x33, 0x41, 0x4f);

// Where things lie (design units): beam centre at x = 170; focus above, receptor under the
// mattress; the evaluation points 30 cm to the side of the beam centre.
struct DrawingGeometry {
    double cx = 170;
    QPointF focus{170, 62};
    double mattressTop = 352, receptorY = 372, hoodTop = 212, hoodLeft = 60, hoodRight = 280;
    double px = 400;   // the evaluation points
    double step = 110; // 30 cm between them
};

// Heading: a margin on either side, smaller where the words are longer (English).
void drawHeading(QPainter& p) {
    QFont headingFont(gothicFontFamily(), 13, QFont::Bold);
    const double headingMargin = 12;
    while (headingFont.pointSize() > 8 && QFontMetricsF(headingFont).horizontalAdvance(heading()) >
                                              kDesignWidth - 2 * headingMargin)
        headingFont.setPointSize(headingFont.pointSize() - 1);
    p.setFont(headingFont);
    p.setPen(kInk);
    p.drawText(QRectF(headingMargin, 6, kDesignWidth - 2 * headingMargin, 28), Qt::AlignCenter, heading());
}

// X-ray tube, focus and beam.
void drawTubeAndBeam(QPainter& p, const DrawingGeometry& g) {
    const double cx = g.cx;
    p.setBrush(QColor(0x8f, 0xa3, 0xb8));
    p.setPen(QPen(kInk, 1.5));
    p.drawRoundedRect(QRectF(cx - 34, 40, 68, 20), 4, 4);
    p.setBrush(kInk);
    p.drawEllipse(g.focus, 3, 3);

    QPainterPath beam;
    beam.moveTo(g.focus);
    beam.lineTo(cx - 80, g.receptorY);
    beam.lineTo(cx + 80, g.receptorY);
    beam.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 214, 90, 90));
    p.drawPath(beam);
    p.setPen(QPen(QColor(0xd4, 0x9a, 0x1c), 1, Qt::DashLine));
    p.drawLine(g.focus, QPointF(cx, g.receptorY));
}

// Incubator: base, mattress, infant, hood (PMMA 6 mm), receptor.
void drawIncubator(QPainter& p, const DrawingGeometry& g) {
    const double cx = g.cx, mattressTop = g.mattressTop, hoodTop = g.hoodTop;
    const double hoodLeft = g.hoodLeft, hoodRight = g.hoodRight;
    p.setPen(QPen(kInk, 1.5));
    p.setBrush(QColor(0xcf, 0xd9, 0xe4));
    p.drawRoundedRect(QRectF(hoodLeft - 10, mattressTop + 10, hoodRight - hoodLeft + 20, 34), 6, 6);
    p.setBrush(Qt::white);
    p.drawRect(QRectF(hoodLeft + 8, mattressTop - 6, hoodRight - hoodLeft - 16, 10));
    p.setBrush(QColor(0xfb, 0xe3, 0xef));
    p.drawEllipse(QRectF(cx - 42, mattressTop - 22, 84, 18));
    p.setBrush(QColor(0xff, 0xd9, 0xc2));
    p.drawEllipse(QPointF(cx - 52, mattressTop - 14), 11, 11);
    p.setBrush(QColor(0x44, 0x54, 0x6a));
    p.drawRect(QRectF(cx - 80, g.receptorY - 3, 160, 6));
    QPainterPath hood;
    hood.moveTo(hoodLeft, mattressTop + 10);
    hood.lineTo(hoodLeft, hoodTop + 24);
    hood.quadTo(hoodLeft, hoodTop, hoodLeft + 24, hoodTop);
    hood.lineTo(hoodRight - 24, hoodTop);
    hood.quadTo(hoodRight, hoodTop, hoodRight, hoodTop + 24);
    hood.lineTo(hoodRight, mattressTop + 10);
    p.setBrush(QColor(0xdf, 0xf3, 0xff, 120));
    p.setPen(QPen(QColor(0x5b, 0x93, 0xb8), 4));
    p.drawPath(hood);
}

// The hood's label, the FFD and the height of the hood ceiling.
void drawIncubatorDimensions(QPainter& p, const DrawingGeometry& g, const QFont& textFont) {
    const double hoodLeft = g.hoodLeft, hoodTop = g.hoodTop, receptorY = g.receptorY;
    p.setFont(textFont);
    p.setPen(QPen(kInk, 1));
    p.setBrush(Qt::NoBrush);
    // Hood label with a leader line.
    p.drawLine(QPointF(hoodLeft + 30, hoodTop + 4), QPointF(hoodLeft + 4, hoodTop - 28));
    // Right of the FFD dimension line, so that the line does not run through the text.
    p.drawText(QRectF(hoodLeft - 26, hoodTop - 48, 100, 20), Qt::AlignCenter, QStringLiteral("PMMA 6mm"));

    // FFD: focus to receptor, on the left.
    dimension(p, QPointF(24, g.focus.y()), QPointF(24, receptorY));
    p.drawLine(QPointF(18, g.focus.y()), QPointF(g.cx - 38, g.focus.y()));
    p.drawLine(QPointF(18, receptorY), QPointF(hoodLeft - 12, receptorY));
    p.drawText(QRectF(28, (g.focus.y() + receptorY) / 2 - 10, 40, 20), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("FFD"));

    // Height of the hood ceiling above the mattress: 40 cm, inside the hood on the left.
    dimension(p, QPointF(hoodLeft + 22, hoodTop + 4), QPointF(hoodLeft + 22, g.mattressTop - 6));
    p.drawText(QRectF(hoodLeft + 26, (hoodTop + g.mattressTop) / 2 - 10, 60, 20),
               Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("40 cm"));
}

// Evaluation points, 30 cm to the side of the beam centre: 2 at the ceiling height, 1 30 cm above
// it, 3 30 cm below it; with their spacings and their distance from the beam centre.
void drawEvaluationPoints(QPainter& p, const DrawingGeometry& g, const QFont& textFont) {
    const double px = g.px, cx = g.cx;
    const QPointF points[] = {{px, g.hoodTop - g.step}, {px, g.hoodTop}, {px, g.hoodTop + g.step}};
    const QColor pointColor(0xc0, 0x30, 0x30);
    for (int i = 0; i < 3; ++i) {
        p.setPen(QPen(pointColor, 2));
        p.setBrush(pointColor);
        p.drawEllipse(points[i], 6, 6);
        p.setPen(kInk);
        p.setFont(QFont(gothicFontFamily(), 12, QFont::Bold));
        p.drawText(QRectF(points[i].x() + 10, points[i].y() - 11, 24, 22), Qt::AlignLeft | Qt::AlignVCenter,
                   QString::number(i + 1));
    }
    p.setFont(textFont);
    p.setPen(QPen(kInk, 1, Qt::DotLine));
    p.drawLine(QPointF(g.hoodRight, g.hoodTop), QPointF(px, g.hoodTop));
    p.setPen(QPen(kInk, 1));
    // Vertical spacings of the points.
    for (int i = 0; i < 2; ++i) {
        const double x = px - 22;
        dimension(p, QPointF(x, points[i].y()), QPointF(x, points[i + 1].y()));
        p.drawText(QRectF(x - 52, (points[i].y() + points[i + 1].y()) / 2 - 10, 48, 20),
                   Qt::AlignRight | Qt::AlignVCenter, QStringLiteral("30 cm"));
    }
    // Lateral distance from the beam centre.
    const double y = g.receptorY + 60;
    p.setPen(QPen(kInk, 1, Qt::DotLine));
    p.drawLine(QPointF(cx, g.receptorY), QPointF(cx, y + 6));
    p.drawLine(QPointF(px, points[2].y()), QPointF(px, y + 6));
    p.setPen(QPen(kInk, 1));
    dimension(p, QPointF(cx, y), QPointF(px, y));
    p.drawText(QRectF(cx, y - 20, px - cx, 18), Qt::AlignCenter, QStringLiteral("30 cm"));
}

} // namespace

void IncubatorDrawing::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    // Keep the design's proportions, centred in the widget.
    const double scale = std::min(width() / double(kDesignWidth), height() / double(kDesignHeight));
    p.translate((width() - kDesignWidth * scale) / 2, (height() - kDesignHeight * scale) / 2);
    p.scale(scale, scale);

    const QFont textFont(gothicFontFamily(), 10);
    const DrawingGeometry geometry;
    drawHeading(p);
    drawTubeAndBeam(p, geometry);
    drawIncubator(p, geometry);
    drawIncubatorDimensions(p, geometry, textFont);
    drawEvaluationPoints(p, geometry, textFont);
}

IllustrationWindow::IllustrationWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("Form4"));
    setWindowTitle(QCoreApplication::translate("IllustrationWindow", "保育器の周辺線量　線量評価点"));
    setFixedSize(twips(7260), twips(8190));
    setFont(QFont(timesFontFamily(), 10));

    auto* drawing = new IncubatorDrawing(this);
    nameControl(drawing, QStringLiteral("Picture1"), heading());
    drawing->setAccessibleDescription(QStringLiteral("Picture1"));
    placeTwips(drawing, 120, 120, 7020, 7320);

    auto* close = new QPushButton(QStringLiteral("Close"), this);
    // The caption stays "Close", in the screens' Gothic; its name says it in the interface's language.
    nameControl(close, QStringLiteral("Command1"), QCoreApplication::translate("IllustrationWindow", "閉じる"));
    close->setFont(QFont(gothicFontFamily(), 10));
    placeTwips(close, 6120, 7560, 1095, 495);
    closeOnEscape(this, close);
    connect(close, &QPushButton::clicked, this, [this] {
        hide();
        emit closeRequested();
    });
}

} // namespace tamso::ui
