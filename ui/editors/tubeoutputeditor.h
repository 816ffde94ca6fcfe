#pragma once
// The tube output data editor (Form7, "出力データ編集"): exposure at 1 m per mAs at five tube
// voltages, the filtration during the measurement and the comment of the tube output data file.

#include <QWidget>

class QLineEdit;
class QPushButton;

namespace tamso::engine {
struct CalculationState;
}

namespace tamso::ui {

class TubeOutputEditor : public QWidget {
    Q_OBJECT
public:
    // The editor shows and changes the reference data in the state, which must outlive it.
    explicit TubeOutputEditor(engine::CalculationState& state, QWidget* parent = nullptr);

    // Form1's "出力データ編集": fills the fields from the calculation state and shows the editor.
    void open();

    // Save (Command1). The exposures and filtration values enter the calculation state first,
    // whatever follows; an existing file is only replaced after "Yes" to the overwrite question.
    // A file that cannot be written gives a warning and the editor stays open. Returns true when
    // the file was written and the editor hidden.
    bool save();
    // Cancel (Command2): hides the editor; nothing else changes.
    void cancel();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

signals:
    // The tube output data in the calculation state changed (Save with other values).
    void referenceDataChanged();
    // The file was written: the tube output data now in use are those of this file.
    void outputDataSaved(const QString& fileName);

private:
    void fillFromState();

    engine::CalculationState& state_;
    QLineEdit* exposure_[6] = {}; // Text1..Text5 at rows 1..5
    QLineEdit* text37_ = nullptr; // Al filtration, mm
    QLineEdit* text38_ = nullptr; // Cu filtration, mm
    QLineEdit* text43_ = nullptr; // file name (display only)
    QLineEdit* text44_ = nullptr; // comment
    QPushButton* command1_ = nullptr;
    QPushButton* command2_ = nullptr;
};

} // namespace tamso::ui
