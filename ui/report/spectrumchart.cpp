#include "ui/report/spectrumchart.h"

#include <QAreaSeries>
#include <QChart>
#include <QCoreApplication>
#include <QFont>
#include <QGraphicsScene>
#include <QLineSeries>
#include <QPainter>
#include <QPen>
#include <QValueAxis>

#include <algorithm>
#include <cmath>

namespace tamso::ui {

namespace {

// Fonts in pixels of the chart's own coordinates, so that the chart keeps its proportions whatever
// the device it is drawn on (a 96 dpi screen, a 1200 dpi printer).
QFont chartFont(const QStringList& families, int pixels, bool bold = false) {
    QFont font;
    font.setFamilies(families);
    font.setPixelSize(pixels);
    font.setBold(bold);
    return font;
}

} // namespace

QChart* makeSpectrumChart(const SpectrumData& data, const QStringList& fontFamilies) {
    auto* chart = new QChart;
    chart->legend()->hide();
    chart->setBackgroundRoundness(0);
    chart->setTitle(QCoreApplication::translate(
                        "SpectrumChart", "患児の皮膚面でのＸ線スペクトル（フード・カバー透過後） %1 kV")
                        .arg(QString::number(data.tubeVoltageKv)));
    chart->setTitleFont(chartFont(fontFamilies, 14, true));

    // Photons per bin in %, as a filled curve from 0.
    auto* upper = new QLineSeries;
    auto* lower = new QLineSeries;
    double peak = 0;
    for (size_t bin = 1; bin < data.photons.size(); ++bin) {
        const double percent = 100 * data.photons[bin];
        upper->append(0.5 * static_cast<double>(bin), percent);
        lower->append(0.5 * static_cast<double>(bin), 0);
        peak = std::max(peak, percent);
    }
    auto* area = new QAreaSeries(upper, lower);
    area->setName(QCoreApplication::translate("SpectrumChart", "相対光子数"));
    area->setPen(QPen(QColor(0x1d, 0x4f, 0x91), 1.5));
    area->setBrush(QColor(0x1d, 0x4f, 0x91, 70));
    chart->addSeries(area);

    // The effective energy as a vertical line over the whole height.
    const double top = peak > 0 ? std::ceil(peak * 1.15 * 10) / 10 : 1;
    auto* marker = new QLineSeries;
    marker->setName(QCoreApplication::translate("SpectrumChart", "実効エネルギー"));
    marker->append(data.effectiveEnergyKev, 0);
    marker->append(data.effectiveEnergyKev, top);
    QPen dashed(QColor(0xc0, 0x30, 0x30), 1.5, Qt::DashLine);
    marker->setPen(dashed);
    chart->addSeries(marker);

    auto* x = new QValueAxis;
    x->setRange(0, std::max(10.0, std::ceil(data.tubeVoltageKv / 10) * 10));
    x->setTitleText(QCoreApplication::translate("SpectrumChart", "光子エネルギー (keV)"));
    x->setLabelFormat(QStringLiteral("%.0f"));
    x->setTickType(QValueAxis::TicksDynamic);
    x->setTickAnchor(0);
    x->setTickInterval(10);
    x->setTitleFont(chartFont(fontFamilies, 13));
    x->setLabelsFont(chartFont(fontFamilies, 12));
    auto* y = new QValueAxis;
    y->setRange(0, top);
    y->setTitleText(QCoreApplication::translate("SpectrumChart", "相対光子数 (%/0.5 keV)"));
    y->setLabelFormat(QStringLiteral("%.1f"));
    y->setTitleFont(chartFont(fontFamilies, 13));
    y->setLabelsFont(chartFont(fontFamilies, 12));
    chart->addAxis(x, Qt::AlignBottom);
    chart->addAxis(y, Qt::AlignLeft);
    for (QAbstractSeries* series : {static_cast<QAbstractSeries*>(area), static_cast<QAbstractSeries*>(marker)}) {
        series->attachAxis(x);
        series->attachAxis(y);
    }
    return chart;
}

QStringList spectrumFigures(const SpectrumData& data) {
    return {QCoreApplication::translate("SpectrumChart", "第１半価層　　 %1 mmAl").arg(data.hvl1MmAl),
            QCoreApplication::translate("SpectrumChart", "第２半価層　　 %1 mmAl").arg(data.quarterValueMmAl),
            QCoreApplication::translate("SpectrumChart", "実効エネルギー %1 keV").arg(data.effectiveEnergy),
            QCoreApplication::translate("SpectrumChart", "線質指標 (QI)　%1").arg(data.qualityIndex)};
}

void drawSpectrumPage(QPainter& painter, const QRectF& page, const SpectrumData& data,
                      const QStringList& fontFamilies) {
    // Laid out on a 1000-unit wide page, scaled to the device.
    const double unit = page.width() / 1000.0;
    painter.save();
    painter.translate(page.topLeft());
    painter.scale(unit, unit);

    painter.setFont(chartFont(fontFamilies, 32, true));
    painter.drawText(QRectF(60, 50, 880, 60), Qt::AlignLeft | Qt::AlignVCenter,
                     QCoreApplication::translate("SpectrumChart", "Ｘ線スペクトルと線質"));

    // The chart, drawn at a screen-like size and scaled into its place.
    QGraphicsScene scene;
    QChart* chart = makeSpectrumChart(data, fontFamilies);
    scene.addItem(chart); // the scene owns it
    const QSizeF chartSize(800, 520);
    chart->setGeometry(QRectF(QPointF(0, 0), chartSize));
    const QRectF target(60, 130, 880, 880 * chartSize.height() / chartSize.width());
    scene.render(&painter, target, QRectF(QPointF(0, 0), chartSize));

    painter.setFont(chartFont(fontFamilies, 22));
    double y = target.bottom() + 40;
    for (const QString& line : spectrumFigures(data)) {
        painter.drawText(QRectF(100, y, 800, 40), Qt::AlignLeft | Qt::AlignVCenter, line);
        y += 45;
    }
    painter.restore();
}

} // namespace tamso::ui
