#pragma once
// The spectrum window of the exposure-condition screen ("Ｘ線スペクトル"): the spectrum of the last
// run at the infant's skin with the effective energy marked, the beam-quality figures beside it.

#include "ui/report/spectrumchart.h"

#include <QWidget>

class QChartView;
class QLabel;

namespace tamso::ui {

class SpectrumWindow : public QWidget {
    Q_OBJECT
public:
    explicit SpectrumWindow(QWidget* parent = nullptr);

    // Shows the spectrum of a run (replacing the one shown).
    void showSpectrum(const SpectrumData& data);
    const SpectrumData& spectrum() const { return data_; }
    QChartView* chartView() const { return view_; }

private:
    SpectrumData data_;
    QChartView* view_ = nullptr;
    QLabel* figures_ = nullptr;
};

} // namespace tamso::ui
