#pragma once
// The basic data editor (Form6, "TAMSO 基本データ"): facility name, X-ray unit name, target angle,
// inherent filtration and W value of air, kept in "基礎データ.dat"; its command "参考レベル" leads to
// the diagnostic reference levels of the site.

#include <QWidget>

class QLineEdit;
class QPushButton;

namespace tamso::engine {
struct CalculationState;
}

namespace tamso::ui {

class BasicDataEditor : public QWidget {
    Q_OBJECT
public:
    // The editor shows and changes the reference data in the state, which must outlive it.
    explicit BasicDataEditor(engine::CalculationState& state, QWidget* parent = nullptr);

    // The start screen's "基本データ入力": re-reads the basic data file into the calculation state,
    // fills the fields and shows the editor. When the file is missing or cannot be read, a warning
    // names the problem, the state stays as it was and the editor is not shown; returns false then.
    bool open();

    // Save (Command1): writes the file, updates the start screen's facility name, confirms and
    // hides the editor. A file that cannot be written gives a warning; the editor stays open with
    // what was typed. Returns true when the file was written.
    bool save();
    // Cancel (Command2): hides the editor.
    void cancel();

signals:
    // The W value in the calculation state changed (the file read on opening held another).
    void referenceDataChanged();
    // Save wrote the file: the start screen shows this facility name.
    void hospitalNameSaved(const QString& name);
    // Command3 "参考レベル": the diagnostic reference level editor.
    void referenceLevelEditorRequested();

private:
    void fillFromState();

    engine::CalculationState& state_;
    QLineEdit* text1_ = nullptr; // X-ray unit name
    QLineEdit* text2_ = nullptr; // target angle
    QLineEdit* text3_ = nullptr; // inherent filtration
    QLineEdit* text4_ = nullptr; // W value
    QLineEdit* text6_ = nullptr; // facility name
    QPushButton* command1_ = nullptr;
    QPushButton* command2_ = nullptr;
    QPushButton* command3_ = nullptr;
};

} // namespace tamso::ui
