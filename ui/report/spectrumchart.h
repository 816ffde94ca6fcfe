#pragma once
// The X-ray spectrum of a run as a chart: the relative number of photons per 0.5 keV bin at the
// infant's skin (behind all filtration and the hood/cover), with the effective energy marked and
// the beam-quality figures beside it. The same chart is shown in a window of the
// exposure-condition screen and printed as the report's optional second page.

#include <QString>
#include <QStringList>
#include <vector>

class QChart;
class QPainter;
class QRectF;

namespace tamso::ui {

struct SpectrumData {
    std::vector<double> photons; // share of the photons in each 0.5 keV bin (index = bin), sum 1
    double tubeVoltageKv = 0;
    double effectiveEnergyKev = 0;
    // The beam-quality figures as the screen shows them.
    QString hvl1MmAl;
    QString quarterValueMmAl;
    QString effectiveEnergy;
    QString qualityIndex;

    bool empty() const { return photons.empty(); }
};

// The chart: photons (% per 0.5 keV) over the energy (keV) as a filled curve, the effective
// energy as a vertical line. `fontFamilies` are the families for its texts. The caller owns it.
QChart* makeSpectrumChart(const SpectrumData& data, const QStringList& fontFamilies);

// The figures beside the chart, one line each: "第１半価層 1.860 mmAl", ...
QStringList spectrumFigures(const SpectrumData& data);

// The spectrum as a page of its own: a heading, the chart and the figures, drawn into `page`
// (device coordinates of the painter) with the given font families.
void drawSpectrumPage(QPainter& painter, const QRectF& page, const SpectrumData& data,
                      const QStringList& fontFamilies);

} // namespace tamso::ui
