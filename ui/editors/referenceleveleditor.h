#pragma once
// The diagnostic reference level editor (Form10, "TAMSO 診断参考レベル"): the level in mGy of
// entrance surface dose and its source for every body part of 撮影部位.txt, kept in "参考線量.dat".
// Further records of a body part (another country's level, a NICU's levels by weight band) are
// listed after them as documentation and kept; the first record of a body part is the one compared
// with.

#include "refdata/referencelevels.h"

#include <QWidget>

#include <vector>

class QLabel;
class QPushButton;
class QTableWidget;

namespace tamso::ui {

class ReferenceLevelEditor : public QWidget {
    Q_OBJECT
public:
    // levelsInEffect: the table the screens compare with (the shell's), which open() and save()
    // replace; it outlives the editor.
    explicit ReferenceLevelEditor(refdata::ReferenceLevelTable& levelsInEffect, QWidget* parent = nullptr);

    // Columns of Grid1.
    enum Column { BodyPartColumn, LevelColumn, SourceColumn, UseColumn, ColumnCount };

    // The basic data editor's "参考レベル": re-reads "参考線量.dat" (a missing file is an empty
    // table) and the body-part list, fills the grid and shows the editor; the table read is the one
    // in effect from here. A file that cannot be read gives a warning and the editor is not shown
    // (saving would replace what the file holds); returns false then.
    bool open();

    // Save (Command1): every level must be empty or a number above 0 (full-width digits read as
    // ASCII), otherwise a warning names the body part and nothing is written; so does a row with a
    // level or source but no body part. Rows that are not the body-part list's, left without level
    // and source, are dropped. The file is replaced, the table takes effect, a notice confirms and the editor
    // hides; a file that cannot be written gives a warning and the editor stays open with what was typed.
    // Returns true when the file was written.
    bool save();
    // Cancel (Command2): hides the editor; file and table unchanged.
    void cancel();

    // The number of rows the body-part list gave (whose body part is fixed).
    size_t listedRows() const;

    // Command3 "行を追加": a new row under the current one (at the end without one), its body part
    // to be typed. Command4 "行を削除": removes the current row. Command5 "上へ" and Command6 "下へ":
    // move the current row; the first row of a body part is the level compared with.
    void addRow();
    void deleteRow();
    void moveRow(int by);

signals:
    // The table in effect changed (Save).
    void referenceLevelsChanged();

private:
    void fill(const std::vector<refdata::ReferenceLevelRow>& rows);
    void refreshUse();

    refdata::ReferenceLevelTable& levelsInEffect_;
    QTableWidget* grid1_ = nullptr;
    QPushButton* command1_ = nullptr;
    QPushButton* command2_ = nullptr;
    QPushButton* command3_ = nullptr;
    QPushButton* command4_ = nullptr;
    QPushButton* command5_ = nullptr;
    QPushButton* command6_ = nullptr;
};

} // namespace tamso::ui
