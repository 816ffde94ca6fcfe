#include "ui/report/reportlayout.h"

#include "engine/calculationstate.h"
#include "ui/kit/uiutil.h"

#include <QCoreApplication>

namespace tamso::ui {

BodyPartMark bodyPartMark(const QString& bodyPart) {
    const QString head = bodyPart.left(2);
    if (head == QStringLiteral("頭部"))
        return {30, 70};
    if (head == QStringLiteral("胸部"))
        return {62, 90};
    if (head == QStringLiteral("腹部"))
        return {80, 115};
    return {28, 28};
}

QString doseHistoryLine(const ReportFields& f) {
    return QCoreApplication::translate("ReportLayout", "撮影 ") + f.exposureNumber +
           QCoreApplication::translate("ReportLayout", " 回目　累積線量： ") + f.cumulativeDose +
           QStringLiteral(" mGy") +
           (f.cumulativeIsLowerBound ? QCoreApplication::translate("ReportLayout", " 以上") : QString());
}

namespace {

// The largest size from `size` (the canvas's current size) down, half a point at a time to
// kSmallestFontShare of it, at which the text is no wider than `width` and no higher than `height`;
// `size` where the canvas cannot measure. Leaves the canvas at that size.
double fitFontSize(ReportCanvas& c, const QString& text, double size, double width, double height) {
    const double smallest = size * kSmallestFontShare;
    double points = size;
    for (std::optional<QSizeF> m = c.measureText(text);
         m && (m->width() > width || m->height() > height) && points - 0.5 >= smallest;
         m = c.measureText(text)) {
        points -= 0.5;
        c.setFontSize(points);
    }
    return points;
}

const QColor kBlack(0, 0, 0);
const QColor kRed(255, 0, 0);
// What a text keeps free from the line of the box it stands in.
constexpr double kInset = 0.5;

// The page being drawn: the canvas, whether it goes to the printer, and the body size of its texts.
struct Page {
    ReportCanvas& c;
    bool printer;
    double body;

    void text(double x, double y, const QString& s) const {
        c.moveTo(x, y);
        c.printText(s, true);
    }
    // A text drawn within (right, bottom): smaller where it would not fit, then back at the body size.
    void fitted(double x, double y, const QString& s, double right, double bottom) const {
        if (fitFontSize(c, s, body, right - x, bottom - y) != body) {
            text(x, y, s);
            c.setFontSize(body);
        } else {
            text(x, y, s);
        }
    }
};

// The title, the body font and fill, and the page frame.
void drawFrameAndTitle(const Page& p) {
    ReportCanvas& c = p.c;
    c.setFontName(timesFontFamily());
    c.setFontSize(p.printer ? 18 : 14);
    p.text(p.printer ? 20 : 10, 10, QStringLiteral("TAMSO in NICU"));

    c.setFontName(gothicFontFamily());
    c.setFontCharset(128);
    c.setFillStyle(FillStyle::Transparent);
    if (p.printer) {
        c.setLineWidth(4);
        c.box(10, 20, 195, 277);
    } else {
        c.setLineWidth(1);
        c.box(10, 21, 195, 287);
    }
}

void drawPatient(const Page& p, const ReportFields& f) {
    p.c.box(15, 28, 100, 43, kBlack);
    p.c.setFontSize(p.body);
    p.fitted(20, 30, QStringLiteral("ID No.: ") + f.id, 100 - kInset, 37);
    p.fitted(20, 37, QCoreApplication::translate("ReportLayout", "氏名 : ") + f.name, 100 - kInset,
             43 - kInset);
}

void drawConditions(const Page& p, const ReportFields& f, const QString& xrayUnit) {
    p.c.box(15, 45, 100, 109, kBlack);
    const QString rows[9][2] = {
        {QCoreApplication::translate("ReportLayout", "撮影日"), QStringLiteral(": ") + f.examDate},
        {QCoreApplication::translate("ReportLayout", "撮影担当"), QStringLiteral(": ") + f.technologist},
        {QCoreApplication::translate("ReportLayout", "撮影装置"), QStringLiteral(": ") + xrayUnit},
        {QCoreApplication::translate("ReportLayout", "撮影部位"), QStringLiteral(": ") + f.bodyPart},
        {QCoreApplication::translate("ReportLayout", "被写体厚"),
         QStringLiteral(": ") + f.thickness + QStringLiteral(" cm")},
        {QCoreApplication::translate("ReportLayout", "撮影距離"),
         QStringLiteral(": ") + f.ffd + QStringLiteral(" cm")},
        {QCoreApplication::translate("ReportLayout", "管電圧"),
         QStringLiteral(": ") + f.tubeVoltage + QStringLiteral(" kV")},
        {QCoreApplication::translate("ReportLayout", "管電流秒"),
         QStringLiteral(": ") + f.mAs + QStringLiteral(" mAs")},
        {QCoreApplication::translate("ReportLayout", "照射野"), QStringLiteral(": ") + f.fieldSize},
    };
    for (int r = 0; r < 9; ++r) {
        const double y = 47 + 7 * r;
        const double bottom = r < 8 ? y + 7 : 109 - kInset;
        p.fitted(20, y, rows[r][0], 43, bottom);
        p.fitted(43, y, rows[r][1], 100 - kInset, bottom);
    }
}

// The infant's dose and the caregivers' doses.
void drawDoses(const Page& p, const ReportFields& f) {
    ReportCanvas& c = p.c;
    c.box(15, 111, 100, 145, kBlack);
    p.fitted(20, 117,
             QCoreApplication::translate("ReportLayout", "患児の入射表面線量： ") + f.dose +
                 QStringLiteral(" mGy"),
             100 - kInset, 127);
    p.fitted(20, 127, QCoreApplication::translate("ReportLayout", "介助者の被ばく線量  μSv"), 100 - kInset,
             134);
    // The three caregiver doses on one line, smaller as a whole where they would not fit.
    const QString caregivers[3] = {QStringLiteral("① : ") + f.caregiver1,
                                   QStringLiteral("   ② : ") + f.caregiver2,
                                   QStringLiteral("   ③ : ") + f.caregiver3};
    const bool caregiversFitted = fitFontSize(c, caregivers[0] + caregivers[1] + caregivers[2], p.body,
                                              100 - kInset - 25, 145 - kInset - 134) != p.body;
    c.moveTo(25, 134);
    c.printText(caregivers[0], false);
    c.printText(caregivers[1], false);
    c.printText(caregivers[2], true);
    if (caregiversFitted)
        c.setFontSize(p.body);
}

void drawRemarks(const Page& p, const ReportFields& f) {
    const double remarksBottom = p.printer ? 275 : 285;
    p.c.box(15, 230, 190, remarksBottom, kBlack);
    p.text(20, 235, QCoreApplication::translate("ReportLayout", "備考"));
    // The dose with its expanded uncertainty, and the dose against the reference level of the body
    // part; above the level framed in red and said in words, so that it reads in black and white.
    double remark = 243;
    if (!f.exposureNumber.isEmpty()) { // the infant's dose so far, at the size of the other texts
        p.fitted(25, remark, doseHistoryLine(f), 190 - kInset, remark + 8);
        remark += 8;
    }
    // With the effective dose on the same line, so that the remarks keep their room on the page.
    QStringList doses;
    if (!f.doseWithUncertainty.isEmpty())
        doses << QCoreApplication::translate("ReportLayout", "入射表面線量 ") + f.doseWithUncertainty;
    if (!f.effectiveDose.isEmpty())
        doses << QCoreApplication::translate("ReportLayout", "実効線量 ") + f.effectiveDose;
    if (!doses.isEmpty()) {
        p.fitted(25, remark, doses.join(QStringLiteral("　")), 190 - kInset, remark + 8);
        remark += 8;
    }
    if (const QString edited = editedDoseRemark(f); !edited.isEmpty()) {
        p.fitted(25, remark, edited, 190 - kInset, remark + 8);
        remark += 8;
    }
    if (!f.referenceLevel.isEmpty()) {
        if (f.aboveReferenceLevel)
            p.c.box(22, remark - 1.5, 188, remark + 6, kRed); // a red frame round the words 参考レベル超過
        p.fitted(25, remark,
                 QCoreApplication::translate("ReportLayout", "参考レベル（") + f.bodyPart +
                     QCoreApplication::translate("ReportLayout", "）") + f.referenceLevel,
                 (f.aboveReferenceLevel ? 188 : 190) - kInset,
                 f.aboveReferenceLevel ? remark + 6 - kInset : remarksBottom - kInset);
    }
}

// The incubator from the side with the caregivers' positions, the infant and the beam, labelled
// with the doses.
void drawSideView(const Page& p, const ReportFields& f) {
    ReportCanvas& c = p.c;
    // Incubator.
    const int figureWidth = p.printer ? 8 : 2;
    c.setLineWidth(figureWidth);
    c.line(45, 195, 45, 222);
    c.lineTo(105, 222);
    c.lineTo(105, 182);
    c.lineTo(63, 182);
    c.lineTo(45, 195);

    // Caregiver positions.
    if (p.printer) {
        c.setFillColour(kRed);
        c.setFillStyle(FillStyle::Solid);
    }
    c.circle(108, 152, 1, kRed);
    c.circle(108, 182, 1, kRed);
    c.circle(108, 212, 1, kRed);

    // Infant: hatched in the fill colour (black on the preview, red on the printer).
    c.setLineWidth(p.printer ? 4 : 1);
    c.setFillStyle(FillStyle::Hatched);
    c.circle(75, 217, 10, {}, {}, 0.5);

    // X-ray beam.
    c.line(75, 155, 75, 222);
    c.line(68, 155, 60, 222);
    c.line(82, 155, 90, 222);

    // Labels.
    p.text(115, 150, QStringLiteral("① : ") + f.caregiver1 + QStringLiteral(" μSv"));
    p.text(115, 180, QStringLiteral("② : ") + f.caregiver2 + QStringLiteral(" μSv"));
    p.text(115, 210, QStringLiteral("③ : ") + f.caregiver3 + QStringLiteral(" μSv"));
    p.text(77, 205, f.dose + QStringLiteral(" mGy"));
}

// The figure frame with the infant from the front and the mark of the body part with the dose.
void drawFrontView(const Page& p, const ReportFields& f) {
    ReportCanvas& c = p.c;
    c.setFillStyle(FillStyle::Transparent);
    c.box(110, 28, 190, 145);
    c.circle(150, 50, 18);
    c.circle(150, 88, 26, {}, ArcAngles{2.09, 6.28318}, 1.44);
    c.circle(150, 88, 26, {}, ArcAngles{0, 1.047}, 1.44);
    c.line(162, 68, 180, 72);
    c.lineTo(186, 77);
    c.lineTo(184, 82);
    c.lineTo(167, 78);
    c.line(138, 68, 120, 72);
    c.lineTo(114, 77);
    c.lineTo(116, 82);
    c.lineTo(133, 78);
    c.line(137, 107, 124, 129);
    const double legs[][2] = {{125, 135}, {130, 137}, {142, 120}, {150, 115}, {158, 120},
                              {170, 137}, {175, 135}, {176, 129}, {163, 107}};
    for (const auto& point : legs)
        c.lineTo(point[0], point[1]);

    // Body-part mark.
    const BodyPartMark mark = bodyPartMark(f.bodyPart);
    const double middle = (mark.upper + mark.lower) / 2;
    c.setLineWidth(p.printer ? 10 : 2);
    c.box(130, mark.upper, 170, mark.lower, kRed);
    c.circle(150, middle, 1, kRed);
    c.setLineWidth(p.printer ? 4 : 1);
    if (mark.lower > mark.upper) // inside the mark
        p.fitted(140, middle + 2, f.dose + QStringLiteral(" mGy"), 170 - kInset, mark.lower - kInset);
    else
        p.text(140, middle + 2, f.dose + QStringLiteral(" mGy"));
}

} // namespace

void drawReport(ReportCanvas& c, ReportTarget target, const ReportFields& f,
                const engine::CalculationState& basicData) {
    const bool printer = target == ReportTarget::Printer;
    const Page page{c, printer, printer ? 14.0 : 10.0};
    drawFrameAndTitle(page);
    drawPatient(page, f);
    drawConditions(page, f, qs(basicData.xrayUnitName));
    drawDoses(page, f);
    drawRemarks(page, f);
    drawSideView(page, f);
    drawFrontView(page, f);
    page.text(70, printer ? 278 : 288, qs(basicData.hospitalName)); // the hospital
    if (printer)
        c.endDocument();
}

} // namespace tamso::ui
