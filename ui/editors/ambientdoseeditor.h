#pragma once
// The ambient dose table editor (Form3, "周辺線量実測値データ編集"): 1 cm dose equivalent per mAs at
// six focus-receptor distances, two tube voltages and three positions, kept in "kaijo_dose.dat".

#include <QWidget>

class QLineEdit;
class QPushButton;

namespace tamso::engine {
struct CalculationState;
}

namespace tamso::ui {

class AmbientDoseEditor : public QWidget {
    Q_OBJECT
public:
    // The editor shows and changes the reference data in the state, which must outlive it.
    explicit AmbientDoseEditor(engine::CalculationState& state, QWidget* parent = nullptr);

    // Form1's "周辺線量の実測データ編集": fills the 36 fields from AmbientDoseTable and shows the
    // editor.
    void open();

    // Field Text<n> (n = 1..36) belongs to AmbientDoseTable[voltage][position][row].
    struct Cell {
        int voltage;  // 1 = 50 kV, 2 = 60 kV
        int position; // 1 = "+ 30 cm", 2 = ceiling height, 3 = "- 30 cm"
        int row;      // 1..6 = 70..120 cm
    };
    static Cell cellOfField(int n);

    // Save (Command1): the table takes the typed values at full precision, then the file is
    // written with two decimals, confirmed, and the editor hidden. When the file cannot be written
    // a warning says so, the table keeps the typed values, the old file stays as it was and the
    // editor stays open. Returns true when the file was written.
    bool save();
    // Cancel (Command2): hides the editor; table and file are unchanged.
    void cancel();

signals:
    // AmbientDoseTable changed (Save with other values).
    void referenceDataChanged();

private:
    void fillFromState();

    engine::CalculationState& state_;
    QLineEdit* fields_[37] = {}; // Text1..Text36
    QPushButton* command1_ = nullptr;
    QPushButton* command2_ = nullptr;
};

} // namespace tamso::ui
