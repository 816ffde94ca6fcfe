#pragma once
// The measured-exposure dialog (Form9, "実測値入力"): a reading at 1 m from the focus, taken
// without the hood/cover, in C/kg, R or air kerma (Gy), converted to C/kg. Not modal; hidden by
// OK and Cancel (it keeps its unit choice while hidden), discarded by its close box.

#include <QWidget>

class QGroupBox;
class QLineEdit;
class QRadioButton;
class QPushButton;
class QEvent;

namespace tamso::engine {
struct CalculationState;
}

namespace tamso::ui {

class MeasuredExposureDialog : public QWidget {
    Q_OBJECT
public:
    // The air-kerma reading is converted with the W value of the state.
    explicit MeasuredExposureDialog(const engine::CalculationState& state, QWidget* parent = nullptr);

    // Empties the reading, shows the dialog and puts the focus into the reading.
    void open();

    // C/kg for a reading in the selected unit; the air-kerma case divides by wAirEv.
    static double toCoulombPerKg(double reading, int unitOption, double wAirEv);

signals:
    // OK with a positive reading: the exposure at 1 m in C/kg.
    void measuredValueAccepted(double exposureCkg);
    // Cancel, the close box, or OK with an empty, non-numeric, zero or negative reading.
    void outputDataChosen();
    // The close box: the dialog is being discarded.
    void discarded();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    QGroupBox* buildUnitChoice();
    void accept();
    void cancel();

    const engine::CalculationState& state_;
    QLineEdit* reading_ = nullptr;
    QRadioButton* optionCkg_ = nullptr;
    QRadioButton* optionR_ = nullptr;
    QRadioButton* optionGy_ = nullptr;
    QPushButton* ok_ = nullptr;
};

} // namespace tamso::ui
