// The three reference-data editors: what they show on opening, the files they write byte for byte,
// the state changes and their timing, and that no write failure loses anything.

#include "uitestsupport.h"

#include "engine/calculationstate.h"
#include "refdata/referencefiles.h"
#include "refdata/referenceloader.h"
#include "textio/codec.h"
#include "textio/fileio.h"
#include "ui/conditions/conditionsscreen.h"
#include "ui/editors/ambientdoseeditor.h"
#include "ui/editors/basicdataeditor.h"
#include "ui/editors/tubeoutputeditor.h"
#include "ui/kit/messagebox.h"
#include "ui/kit/uiutil.h"
#include "ui/shell/shell.h"
#include "ui/shell/startscreen.h"

#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>

#include <cstring>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>

using namespace tamso;
using ui::MessageBox;

namespace {

namespace fs = std::filesystem;

fs::path folder() {
    return fs::u8path(ui::workingFolderUtf8());
}
fs::path fileNamed(const char* utf8Name) {
    return textio::fileInFolder(folder(), utf8Name);
}

std::string readBytes(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}
std::string sjis(const std::string& utf8) {
    return textio::utf8ToSjis(utf8).value();
}

bool writeLines(const char* name, const std::vector<std::string>& lines) {
    return textio::writeTextLines(fileNamed(name), lines).ok();
}

// The three editable files with known contents.
bool writeKnownEditableFiles() {
    refdata::BasicData basic{33.97, "試験装置", 12, 2.5, "試験病院"};
    refdata::TubeOutputData tube;
    tube.comment = "試験用の出力データ";
    for (int r = 1; r <= engine::kTubeOutputRows; ++r) {
        tube.voltageKv[r] = 30 + 10 * r;
        tube.exposureCkgPerMas[r] = 3e-6 * (r + 1);
    }
    tube.refFilterAlMm = 2.5;
    refdata::AmbientDoseData ambient;
    for (int i = 1; i <= engine::kAmbientRows; ++i) {
        ambient.cells[0][0][i] = 60 + 10 * i;
        for (int j = 1; j <= 2; ++j)
            for (int k = 1; k <= 3; ++k)
                ambient.cells[j][k][i] = j + 0.1 * k + 0.01 * i; // 1.11 .. 2.36, each cell its own value
    }
    return refdata::writeBasicDataFile(folder(), basic).ok() &&
           refdata::writeTubeOutputFile(fileNamed(refdata::kTubeOutputFileName), tube).ok() &&
           refdata::writeAmbientDoseFile(fileNamed(refdata::kAmbientDoseFileName), ambient).ok();
}

template <typename T> T* child(QWidget* screen, const QString& name) {
    T* widget = screen ? screen->findChild<T*>(name) : nullptr;
    if (!widget)
        qWarning("missing control %s", qPrintable(name));
    return widget;
}
QLineEdit* field(QWidget* screen, int n) {
    return child<QLineEdit>(screen, QStringLiteral("Text%1").arg(n));
}
QPushButton* command(QWidget* screen, int n) {
    return child<QPushButton>(screen, QStringLiteral("Command%1").arg(n));
}

bool everyControlNamed(QWidget* screen) {
    for (auto* control : screen->findChildren<QWidget*>())
        if (control->accessibleName().isEmpty() ||
            control->accessibleDescription() != control->objectName() || control->objectName().isEmpty())
            return false;
    return true;
}

// The next control that the Tab key reaches.
QWidget* nextTabStop(QWidget* widget) {
    QWidget* next = widget->nextInFocusChain();
    while (next != widget && (!(next->focusPolicy() & Qt::TabFocus) || !next->isEnabled()))
        next = next->nextInFocusChain();
    return next;
}

// The captions of a screen's labels and commands, in no particular order.
QStringList captionsOf(QWidget* screen) {
    QStringList texts;
    for (auto* label : screen->findChildren<QLabel*>())
        texts << label->text();
    for (auto* button : screen->findChildren<QPushButton*>())
        texts << button->text();
    texts.sort();
    return texts;
}
QStringList sorted(QStringList list) {
    list.sort();
    return list;
}

// The labels of a screen that show exactly this text.
QList<QLabel*> labelsShowing(QWidget* screen, const QString& text) {
    QList<QLabel*> found;
    for (auto* label : screen->findChildren<QLabel*>())
        if (label->text() == text)
            found << label;
    return found;
}

// The files left in the working folder that the program did not put there (temporary files).
QStringList strayFiles() {
    QStringList stray;
    for (const QString& name : QDir::current().entryList(QDir::Files | QDir::Hidden))
        if (name.startsWith(QLatin1Char('.')))
            stray << name;
    return stray;
}

// With TAMSO_SCREENSHOT_DIR set, a picture of the editor there.
void saveScreenshot(QWidget* editor, const char* name) {
    const QString folder = qEnvironmentVariable("TAMSO_SCREENSHOT_DIR");
    if (!folder.isEmpty())
        QVERIFY(editor->grab().save(QDir(folder).filePath(QString::fromLatin1(name))));
}

// Replaces a file by a folder of the same name holding one file, so that no one, root included,
// can write the file; returns the path of the file inside.
fs::path blockWithFolder(const char* name) {
    const fs::path target = fileNamed(name);
    fs::remove(target);
    fs::create_directory(target);
    std::ofstream(target / "keep.txt") << "kept";
    return target / "keep.txt";
}

} // namespace

class EditorTests : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void basicDataOpensWithFileValues();
    void basicDataSaveWritesFiveLines();
    void basicDataNumberFields_data();
    void basicDataNumberFields();
    void basicDataReopenShowsFileChangedOutside();
    void editorsRefuseWhatCannotBeComputedWith_data();
    void editorsRefuseWhatCannotBeComputedWith();
    void basicDataCancelChangesNothing();
    void basicDataUnreadableFileKeepsEditorClosed_data();
    void basicDataUnreadableFileKeepsEditorClosed();
    void basicDataWriteFailureLosesNothing();
    void basicDataTabOrder();

    void tubeOutputOpensFromState();
    void tubeOutputSaveAfterYes();
    void tubeOutputExposureFields_data();
    void tubeOutputExposureFields();
    void tubeOutputNoKeepsFileButTakesValues();
    void tubeOutputRemovedFileWrittenWithoutQuestion();
    void tubeOutputWriteFailureLosesNothing();
    void tubeOutputCancelAndReopenRefill();
    void tubeOutputEnterChain();
    void tubeOutputHiddenByConditionsScreen();

    void ambientOpensEveryCellInItsField();
    void ambientSaveWritesTwoDecimals();
    void ambientCancelLeavesTable();
    void ambientWriteFailureKeepsTypedValues();
    void closeBoxDiscardsEditor();
    void captionsAsShown();
    void ambientFieldsStandUnderTheirCaptions();

private:
    // The facility name that the start screen shows (Label10).
    QString hospitalShown() const;

    std::unique_ptr<QTemporaryDir> dir_;
    std::unique_ptr<ui::Shell> shell_; // opens the editors and wires them to the other screens
};

void EditorTests::init() {
    dir_ = std::make_unique<QTemporaryDir>();
    QVERIFY(uitest::prepareWorkingFolder(*dir_));
    QVERIFY(writeKnownEditableFiles());
    shell_ = std::make_unique<ui::Shell>();
    shell_->quitProgram = [] {};
    QVERIFY(shell_->start());
    QCOMPARE(hospitalShown(), QStringLiteral("試験病院"));
    MessageBox::clearShown();
}

void EditorTests::cleanup() {
    shell_.reset(); // the editors with it
    QDir::setCurrent(QDir::tempPath());
    dir_.reset();
}

QString EditorTests::hospitalShown() const {
    QLabel* label = child<QLabel>(shell_->startScreen(), QStringLiteral("Label10"));
    return label ? label->text() : QString();
}

// ---- Basic data editor ------------------------------------------------------------------------

void EditorTests::basicDataOpensWithFileValues() {
    shell_->calculationState().targetAngleDeg = 16; // changed on the exposure-condition screen
    shell_->openBasicDataEditor();
    auto* editor = shell_->basicDataEditor();
    QVERIFY(editor && editor->isVisible());
    QCOMPARE(editor->windowTitle(), QStringLiteral("TAMSO 基本データ"));
    QCOMPARE(field(editor, 1)->text(), QStringLiteral("試験装置"));
    QCOMPARE(field(editor, 2)->text(), QStringLiteral("12"));
    QCOMPARE(field(editor, 3)->text(), QStringLiteral("2.5"));
    QCOMPARE(field(editor, 4)->text(), QStringLiteral("33.97"));
    QCOMPARE(field(editor, 6)->text(), QStringLiteral("試験病院"));
    QCOMPARE(shell_->calculationState().targetAngleDeg, 12.0); // the file wins over the screen's change
    QVERIFY(everyControlNamed(editor));
}

void EditorTests::basicDataSaveWritesFiveLines() {
    shell_->openBasicDataEditor();
    auto* editor = shell_->basicDataEditor();
    QVERIFY(editor);
    QSignalSpy captions(editor, &ui::BasicDataEditor::hospitalNameSaved);
    field(editor, 6)->setText(QStringLiteral("市立病院, 新生児科, NICU"));
    field(editor, 1)->setText(QStringLiteral("移動型装置, 型式B"));
    field(editor, 2)->setText(QStringLiteral("12"));
    field(editor, 3)->setText(QStringLiteral("2.5"));
    field(editor, 4)->setText(QStringLiteral("33.97"));
    QTest::mouseClick(command(editor, 1), Qt::LeftButton);

    QCOMPARE(readBytes(fileNamed(refdata::kBasicDataFileName)),
             sjis(" 33.97 \r\n移動型装置, 型式B\r\n 12 \r\n 2.5 \r\n市立病院, 新生児科, NICU\r\n"));
    QCOMPARE(captions.size(), 1);
    QCOMPARE(captions[0][0].toString(), QStringLiteral("市立病院, 新生児科, NICU"));
    QCOMPARE(hospitalShown(), QStringLiteral("市立病院, 新生児科, NICU")); // the start screen shows it
    QCOMPARE(MessageBox::shown().size(), 1);
    QCOMPARE(MessageBox::shown()[0].kind, MessageBox::Kind::Notice);
    QCOMPARE(MessageBox::shown()[0].text, QStringLiteral("基本データを保存しました。"));
    QVERIFY(!editor->isVisible());
    // The state keeps what it had until the file is read again.
    QCOMPARE(shell_->calculationState().hospitalName, std::string("試験病院"));
    QCOMPARE(shell_->calculationState().xrayUnitName, std::string("試験装置"));

    shell_->openBasicDataEditor();
    QCOMPARE(shell_->calculationState().hospitalName, std::string("市立病院, 新生児科, NICU"));
    QCOMPARE(shell_->calculationState().xrayUnitName, std::string("移動型装置, 型式B"));
    QCOMPARE(shell_->calculationState().wAirEv, 33.97);
    QCOMPARE(field(editor, 6)->text(), QStringLiteral("市立病院, 新生児科, NICU"));
}

void EditorTests::basicDataNumberFields_data() {
    QTest::addColumn<int>("fieldNumber");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("line");
    QTest::addColumn<QString>("written");
    QTest::newRow("full-width W value")
        << 4 << QStringLiteral("３３．９７") << 0 << QStringLiteral(" 33.97 ");
    QTest::newRow("angle below one") << 2 << QStringLiteral("0.5") << 2 << QStringLiteral(" .5 ");
    QTest::newRow("no filtration") << 3 << QStringLiteral("0") << 3 << QStringLiteral(" 0 ");
    QTest::newRow("filtration at the top of its range")
        << 3 << QStringLiteral("10") << 3 << QStringLiteral(" 10 ");
    QTest::newRow("angle just below 90") << 2 << QStringLiteral("89.9") << 2 << QStringLiteral(" 89.9 ");
    QTest::newRow("filtration with blanks")
        << 3 << QStringLiteral(" 2 .75 ") << 3 << QStringLiteral(" 2.75 ");
}

void EditorTests::basicDataNumberFields() {
    QFETCH(int, fieldNumber);
    QFETCH(QString, typed);
    QFETCH(int, line);
    QFETCH(QString, written);
    shell_->openBasicDataEditor();
    auto* editor = shell_->basicDataEditor();
    field(editor, fieldNumber)->setText(typed);
    QVERIFY(editor->save());
    auto text = textio::readTextFile(fileNamed(refdata::kBasicDataFileName));
    QVERIFY(text.ok());
    const auto lines = textio::splitLines(*text);
    QCOMPARE(int(lines.size()), 5);
    QCOMPARE(ui::qs(lines[line]), written);
}

// Save refuses every value the calculation cannot work with, naming the field; nothing is written
// and the state keeps its values.
void EditorTests::editorsRefuseWhatCannotBeComputedWith_data() {
    QTest::addColumn<QString>("editor");
    QTest::addColumn<int>("fieldNumber");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("message");
    // The target angle and the inherent filtration: as every calculation checks them, in the words
    // of the conditions' table.
    const QString angle = QStringLiteral("0 度 より大きく 90 度 未満で入力してください。");
    const QString filter = QStringLiteral("0 mm 以上 10 mm 以下で入力してください。");
    QTest::newRow("angle letters") << "basic" << 2 << "abc"
                                   << QStringLiteral(
                                          "Ｘ線管ターゲット角度の入力値「abc」は数値ではありません。") +
                                          angle;
    QTest::newRow("angle 0") << "basic" << 2 << "0"
                             << QStringLiteral("Ｘ線管ターゲット角度 0 度 は範囲外です。") + angle;
    QTest::newRow("angle 90, full-width")
        << "basic" << 2 << "９０" << QStringLiteral("Ｘ線管ターゲット角度 90 度 は範囲外です。") + angle;
    QTest::newRow("angle with unit") << "basic" << 2 << "12deg"
                                     << QStringLiteral(
                                            "Ｘ線管ターゲット角度の入力値「12deg」は数値ではありません。") +
                                            angle;
    QTest::newRow("negative filtration")
        << "basic" << 3 << "-0.1"
        << QStringLiteral("固有フィルタ（アルミ当量） -0.1 mm は範囲外です。") + filter;
    QTest::newRow("filtration beyond the table")
        << "basic" << 3 << "10.5"
        << QStringLiteral("固有フィルタ（アルミ当量） 10.5 mm は範囲外です。") + filter;
    QTest::newRow("filtration empty")
        << "basic" << 3 << " " << QStringLiteral("固有フィルタ（アルミ当量）が入力されていません。") + filter;
    QTest::newRow("W value 0")
        << "basic" << 4 << "0"
        << "「空気のW値」の「0」では計算できません。0 より大きい数値（eV）を入力して下さい。";
    QTest::newRow("W value empty") << "basic" << 4 << ""
                                   << "「空気のW値」が空欄です。0 より大きい数値（eV）を入力して下さい。";
    QTest::newRow("exposure 0")
        << "tube" << 2 << "0"
        << "「50 kV の照射線量」の「0」では計算できません。0 より大きい数値（C/kg）を入力して下さい。";
    QTest::newRow("exposure letters")
        << "tube" << 5 << "abc"
        << "「80 kV の照射線量」の「abc」は数値ではありません。0 より大きい数値（C/kg）を入力して下さい。";
    QTest::newRow("negative copper")
        << "tube" << 38 << "-1"
        << "「Copper」の「-1」では計算できません。0 以上の数値（mm）を入力して下さい。";
    QTest::newRow("ambient letters") << "ambient" << 8 << "x"
                                     << "「50 kV クベース天井高 FDD 80 cm」の「x」は数値ではありません。0 "
                                        "以上の数値（μSv/mAs）を入力して下さい。";
    QTest::newRow("ambient negative") << "ambient" << 36 << "-0.5"
                                      << "「60 kV - 30 cm FDD 120 cm」の「-0.5」では計算できません。0 "
                                         "以上の数値（μSv/mAs）を入力して下さい。";
}

void EditorTests::editorsRefuseWhatCannotBeComputedWith() {
    QFETCH(QString, editor);
    QFETCH(int, fieldNumber);
    QFETCH(QString, typed);
    QFETCH(QString, message);
    QWidget* window = nullptr;
    const char* file = nullptr;
    if (editor == QLatin1String("basic")) {
        shell_->openBasicDataEditor();
        window = shell_->basicDataEditor();
        file = refdata::kBasicDataFileName;
    } else if (editor == QLatin1String("tube")) {
        shell_->openTubeOutputEditor();
        window = shell_->tubeOutputEditor();
        file = refdata::kTubeOutputFileName;
    } else {
        shell_->openAmbientDoseEditor();
        window = shell_->ambientDoseEditor();
        file = refdata::kAmbientDoseFileName;
    }
    const std::string before = readBytes(fileNamed(file));
    const engine::CalculationState state = shell_->calculationState();
    MessageBox::clearShown();
    field(window, fieldNumber)->setText(typed);
    QTest::mouseClick(command(window, 1), Qt::LeftButton);
    QCOMPARE(MessageBox::shown().size(), 1);
    QCOMPARE(MessageBox::shown().first().kind, MessageBox::Kind::Warning);
    QCOMPARE(MessageBox::shown().first().text, message);
    QVERIFY(window->isVisible());
    QCOMPARE(readBytes(fileNamed(file)), before);
    QVERIFY(std::memcmp(shell_->calculationState().TubeOutputTable, state.TubeOutputTable,
                        sizeof state.TubeOutputTable) == 0);
    QVERIFY(std::memcmp(shell_->calculationState().AmbientDoseTable, state.AmbientDoseTable,
                        sizeof state.AmbientDoseTable) == 0);
    QCOMPARE(shell_->calculationState().refFilterCuCm, state.refFilterCuCm);
}

void EditorTests::basicDataReopenShowsFileChangedOutside() {
    shell_->openBasicDataEditor();
    auto* editor = shell_->basicDataEditor();
    QTest::mouseClick(command(editor, 2), Qt::LeftButton);
    QVERIFY(!editor->isVisible());
    QVERIFY(refdata::writeBasicDataFile(folder(), {34, "別の装置", 15, 1.8, "別の病院"}).ok());

    shell_->openBasicDataEditor();
    QCOMPARE(shell_->basicDataEditor(), editor); // kept, not created again
    QVERIFY(editor->isVisible());
    QCOMPARE(field(editor, 1)->text(), QStringLiteral("別の装置"));
    QCOMPARE(field(editor, 2)->text(), QStringLiteral("15"));
    QCOMPARE(field(editor, 3)->text(), QStringLiteral("1.8"));
    QCOMPARE(field(editor, 4)->text(), QStringLiteral("34"));
    QCOMPARE(field(editor, 6)->text(), QStringLiteral("別の病院"));
    QCOMPARE(shell_->calculationState().targetAngleDeg, 15.0);
    QCOMPARE(shell_->calculationState().defaultInherentFilterAlMm, 1.8);
    QCOMPARE(shell_->calculationState().wAirEv, 34.0);
}

void EditorTests::basicDataCancelChangesNothing() {
    const std::string before = readBytes(fileNamed(refdata::kBasicDataFileName));
    shell_->openBasicDataEditor();
    auto* editor = shell_->basicDataEditor();
    QSignalSpy captions(editor, &ui::BasicDataEditor::hospitalNameSaved);
    field(editor, 4)->setText(QStringLiteral("99"));
    field(editor, 6)->setText(QStringLiteral("変更"));
    QTest::mouseClick(command(editor, 2), Qt::LeftButton);
    QVERIFY(!editor->isVisible());
    QCOMPARE(readBytes(fileNamed(refdata::kBasicDataFileName)), before);
    QVERIFY(captions.isEmpty());
    QCOMPARE(hospitalShown(), QStringLiteral("試験病院"));
    QVERIFY(MessageBox::shown().isEmpty());
    QCOMPARE(shell_->calculationState().wAirEv, 33.97);
}

void EditorTests::basicDataUnreadableFileKeepsEditorClosed_data() {
    QTest::addColumn<int>("damage");
    QTest::newRow("missing") << 0;
    QTest::newRow("a folder of that name") << 1;
    QTest::newRow("ends after the unit name") << 2;
}

void EditorTests::basicDataUnreadableFileKeepsEditorClosed() {
    QFETCH(int, damage);
    const fs::path file = fileNamed(refdata::kBasicDataFileName);
    fs::remove(file);
    if (damage == 1)
        fs::create_directory(file);
    if (damage == 2)
        QVERIFY(writeLines(refdata::kBasicDataFileName, {" 35 ", "途中まで"}));
    shell_->calculationState().targetAngleDeg = 16;

    shell_->openBasicDataEditor();
    QVERIFY(!shell_->basicDataEditor() || !shell_->basicDataEditor()->isVisible());
    QCOMPARE(MessageBox::shown().size(), 1);
    QCOMPARE(MessageBox::shown()[0].kind, MessageBox::Kind::Warning);
    QCOMPARE(MessageBox::shown()[0].icon, QMessageBox::Warning);
    QVERIFY(MessageBox::shown()[0].text.contains(QStringLiteral("基礎データ.dat")));
    QCOMPARE(shell_->calculationState().targetAngleDeg, 16.0);
    QCOMPARE(shell_->calculationState().wAirEv, 33.97);
    QCOMPARE(shell_->calculationState().hospitalName, std::string("試験病院"));
}

void EditorTests::basicDataWriteFailureLosesNothing() {
    shell_->openBasicDataEditor();
    auto* editor = shell_->basicDataEditor();
    QSignalSpy captions(editor, &ui::BasicDataEditor::hospitalNameSaved);
    const fs::path kept = blockWithFolder(refdata::kBasicDataFileName);
    field(editor, 6)->setText(QStringLiteral("新しい病院"));
    field(editor, 4)->setText(QStringLiteral("34.5"));
    QVERIFY(!editor->save());

    QCOMPARE(MessageBox::shown().size(), 1);
    QCOMPARE(MessageBox::shown()[0].kind, MessageBox::Kind::Warning);
    QVERIFY(editor->isVisible());
    QCOMPARE(field(editor, 6)->text(), QStringLiteral("新しい病院"));
    QVERIFY(captions.isEmpty());
    QCOMPARE(hospitalShown(), QStringLiteral("試験病院"));
    QCOMPARE(readBytes(kept), std::string("kept"));
    QCOMPARE(strayFiles(), QStringList());

    // Once the obstacle is gone, the same input saves.
    fs::remove_all(kept.parent_path());
    MessageBox::clearShown();
    QVERIFY(editor->save());
    QCOMPARE(MessageBox::shown()[0].kind, MessageBox::Kind::Notice);
    auto data = refdata::readBasicDataFile(folder());
    QVERIFY(data.ok());
    QCOMPARE(data->hospitalName, std::string("新しい病院"));
    QCOMPARE(data->wAirEv, 34.5);
}

void EditorTests::basicDataTabOrder() {
    shell_->openBasicDataEditor();
    auto* editor = shell_->basicDataEditor();
    QWidget* expected[] = {field(editor, 1), field(editor, 2),   field(editor, 3),  field(editor, 4),
                           field(editor, 6), command(editor, 1), command(editor, 2)};
    for (size_t i = 0; i + 1 < std::size(expected); ++i)
        QCOMPARE(nextTabStop(expected[i]), expected[i + 1]);
}

// ---- Tube output data editor ------------------------------------------------------------------

void EditorTests::tubeOutputOpensFromState() {
    shell_->openTubeOutputEditor();
    auto* editor = shell_->tubeOutputEditor();
    QVERIFY(editor && editor->isVisible());
    QCOMPARE(editor->windowTitle(), QStringLiteral("出力データ編集"));
    saveScreenshot(editor, "tubeoutputeditor.png");
    const char* expected[] = {"", "6.00E-06", "9.00E-06", "1.20E-05", "1.50E-05", "1.80E-05"};
    for (int r = 1; r <= 5; ++r)
        QCOMPARE(field(editor, r)->text(), QString::fromLatin1(expected[r]));
    QCOMPARE(field(editor, 37)->text(), QStringLiteral("2.50"));
    QCOMPARE(field(editor, 38)->text(), QStringLiteral("0.00"));
    QCOMPARE(field(editor, 43)->text(), QStringLiteral("tamso_output.op"));
    QVERIFY(!field(editor, 43)->isEnabled());
    QCOMPARE(field(editor, 44)->text(), QStringLiteral("試験用の出力データ"));
    QVERIFY(everyControlNamed(editor));
}

void EditorTests::tubeOutputSaveAfterYes() {
    shell_->openTubeOutputEditor();
    auto* editor = shell_->tubeOutputEditor();
    QSignalSpy namesShown(editor, &ui::TubeOutputEditor::outputDataSaved);
    field(editor, 1)->setText(QStringLiteral("2.58E-05"));
    field(editor, 37)->setText(QStringLiteral("2.5"));
    field(editor, 38)->setText(QStringLiteral("0.1"));
    field(editor, 44)->clear();
    MessageBox::setNextAnswer(MessageBox::Answer::Yes);
    QTest::mouseClick(command(editor, 1), Qt::LeftButton);

    QCOMPARE(MessageBox::shown().size(), 1);
    QCOMPARE(MessageBox::shown()[0].kind, MessageBox::Kind::QuestionYesNo);
    QCOMPARE(MessageBox::shown()[0].text,
             QStringLiteral("この名前のファイルはすでに存在します。上書きしますか？"));
    QCOMPARE(readBytes(fileNamed(refdata::kTubeOutputFileName)),
             std::string("No comment\r\n40. 50. 60. 70. 80. \r\n"
                         "2.58E-05 9.00E-06 1.20E-05 1.50E-05 1.80E-05 2.50 0.10\r\n"));
    QCOMPARE(shell_->calculationState().TubeOutputTable[2][1], 2.58e-5);
    QCOMPARE(shell_->calculationState().TubeOutputTable[1][1], 40.0);
    QCOMPARE(shell_->calculationState().refFilterAlCm, 0.25);
    QVERIFY(qAbs(shell_->calculationState().refFilterCuCm - 0.01) < 1e-15);
    QCOMPARE(shell_->calculationState().outputDataComment, std::string("No comment"));
    QCOMPARE(shell_->calculationState().outputDataFileName, std::string("tamso_output.op"));
    // The editor hands on the file name; the screen alone cuts the extension.
    QCOMPARE(namesShown.size(), 1);
    QCOMPARE(namesShown[0][0].toString(), QStringLiteral("tamso_output.op"));
    QVERIFY(!editor->isVisible());

    shell_->openTubeOutputEditor();
    QCOMPARE(field(editor, 44)->text(), QStringLiteral("No comment"));
    QCOMPARE(field(editor, 1)->text(), QStringLiteral("2.58E-05"));
    QCOMPARE(field(editor, 38)->text(), QStringLiteral("0.10"));
}

void EditorTests::tubeOutputExposureFields_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<double>("stored");
    QTest::addColumn<QString>("written");
    QTest::newRow("full-width") << QStringLiteral("２．５８E－５") << 2.58e-5 << QStringLiteral("2.58E-05");
    QTest::newRow("small e") << QStringLiteral("1.234e-5") << 1.234e-5 << QStringLiteral("1.23E-05");
    QTest::newRow("plain decimal") << QStringLiteral("0.0000205") << 2.05e-5 << QStringLiteral("2.05E-05");
}

void EditorTests::tubeOutputExposureFields() {
    QFETCH(QString, typed);
    QFETCH(double, stored);
    QFETCH(QString, written);
    shell_->openTubeOutputEditor();
    auto* editor = shell_->tubeOutputEditor();
    field(editor, 3)->setText(typed);
    QVERIFY(editor->save());
    QCOMPARE(shell_->calculationState().TubeOutputTable[2][3], stored);
    const auto line3 = textio::splitLines(readBytes(fileNamed(refdata::kTubeOutputFileName)))[2];
    QCOMPARE(ui::qs(line3).split(QLatin1Char(' '))[2], written);
}

void EditorTests::tubeOutputNoKeepsFileButTakesValues() {
    const std::string before = readBytes(fileNamed(refdata::kTubeOutputFileName));
    shell_->openTubeOutputEditor();
    auto* editor = shell_->tubeOutputEditor();
    QSignalSpy namesShown(editor, &ui::TubeOutputEditor::outputDataSaved);
    field(editor, 2)->setText(QStringLiteral("1.00E-05"));
    field(editor, 37)->setText(QStringLiteral("3"));
    field(editor, 44)->setText(QStringLiteral("新しいコメント"));
    MessageBox::setNextAnswer(MessageBox::Answer::No);
    QVERIFY(!editor->save());

    QCOMPARE(MessageBox::shown().size(), 1);
    QCOMPARE(readBytes(fileNamed(refdata::kTubeOutputFileName)), before);
    QVERIFY(editor->isVisible());
    QVERIFY(namesShown.isEmpty());
    QCOMPARE(shell_->calculationState().TubeOutputTable[2][2], 1e-5);
    QVERIFY(qAbs(shell_->calculationState().refFilterAlCm - 0.3) < 1e-15);
    QCOMPARE(shell_->calculationState().outputDataComment, std::string("試験用の出力データ"));
    QCOMPARE(field(editor, 44)->text(), QStringLiteral("新しいコメント"));
}

void EditorTests::tubeOutputRemovedFileWrittenWithoutQuestion() {
    shell_->openTubeOutputEditor();
    auto* editor = shell_->tubeOutputEditor();
    fs::remove(fileNamed(refdata::kTubeOutputFileName));
    MessageBox::setNextAnswer(MessageBox::Answer::No); // would stop the save if a question came
    QVERIFY(editor->save());
    QVERIFY(MessageBox::shown().isEmpty());
    auto data = refdata::readTubeOutputFile(fileNamed(refdata::kTubeOutputFileName));
    QVERIFY(data.ok());
    QCOMPARE(data->comment, std::string("試験用の出力データ"));
    QCOMPARE(data->exposureCkgPerMas[5], 1.8e-5);
    QCOMPARE(data->voltageKv[5], 80.0);
}

void EditorTests::tubeOutputWriteFailureLosesNothing() {
    shell_->openTubeOutputEditor();
    auto* editor = shell_->tubeOutputEditor();
    QSignalSpy namesShown(editor, &ui::TubeOutputEditor::outputDataSaved);
    const fs::path kept = blockWithFolder(refdata::kTubeOutputFileName);
    field(editor, 4)->setText(QStringLiteral("2.00E-05"));
    field(editor, 44)->setText(QStringLiteral("失敗する保存"));
    QVERIFY(!editor->save());

    QCOMPARE(MessageBox::shown().size(), 1);
    QCOMPARE(MessageBox::shown()[0].kind, MessageBox::Kind::Warning);
    QVERIFY(MessageBox::shown()[0].text.contains(QStringLiteral("tamso_output.op")));
    QVERIFY(editor->isVisible());
    QCOMPARE(field(editor, 4)->text(), QStringLiteral("2.00E-05"));
    QCOMPARE(shell_->calculationState().TubeOutputTable[2][4], 2e-5);
    QVERIFY(namesShown.isEmpty());
    QCOMPARE(readBytes(kept), std::string("kept"));
    QCOMPARE(strayFiles(), QStringList());
}

void EditorTests::tubeOutputCancelAndReopenRefill() {
    shell_->openTubeOutputEditor();
    auto* editor = shell_->tubeOutputEditor();
    field(editor, 1)->setText(QStringLiteral("9.99E-05"));
    field(editor, 37)->setText(QStringLiteral("7"));
    QTest::mouseClick(command(editor, 2), Qt::LeftButton);
    QVERIFY(!editor->isVisible());
    QCOMPARE(shell_->calculationState().TubeOutputTable[2][1], 6e-6);
    QCOMPARE(shell_->calculationState().refFilterAlCm, 0.25);
    QVERIFY(MessageBox::shown().isEmpty());

    shell_->calculationState().TubeOutputTable[2][1] =
        7.5e-6; // changed since, for example by a Save answered No
    shell_->openTubeOutputEditor();
    QCOMPARE(field(editor, 1)->text(), QStringLiteral("7.50E-06"));
    QCOMPARE(field(editor, 37)->text(), QStringLiteral("2.50"));
}

void EditorTests::tubeOutputEnterChain() {
    shell_->openTubeOutputEditor();
    auto* editor = shell_->tubeOutputEditor();
    QVERIFY(QTest::qWaitForWindowActive(editor));
    QWidget* chain[] = {field(editor, 1),  field(editor, 2),  field(editor, 3),
                        field(editor, 4),  field(editor, 5),  field(editor, 37),
                        field(editor, 38), field(editor, 44), command(editor, 1)};
    chain[0]->setFocus();
    for (size_t i = 0; i + 1 < std::size(chain); ++i) {
        QCOMPARE(QApplication::focusWidget(), chain[i]);
        QTest::keyClick(chain[i], i % 2 ? Qt::Key_Enter : Qt::Key_Return);
    }
    QCOMPARE(QApplication::focusWidget(), chain[std::size(chain) - 1]);
    QVERIFY(editor->isVisible()); // reaching Save does not press it
    // Tab takes the same road (the disabled file name is skipped) and goes on to Cancel.
    for (size_t i = 0; i + 1 < std::size(chain); ++i)
        QCOMPARE(nextTabStop(chain[i]), chain[i + 1]);
    QCOMPARE(nextTabStop(command(editor, 1)), static_cast<QWidget*>(command(editor, 2)));
    QVERIFY(MessageBox::shown().isEmpty());
    // Other keys type as usual.
    field(editor, 44)->setFocus();
    field(editor, 44)->clear();
    QTest::keyClicks(field(editor, 44), QStringLiteral("ab"));
    QCOMPARE(field(editor, 44)->text(), QStringLiteral("ab"));
    QCOMPARE(QApplication::focusWidget(), field(editor, 44));
}

void EditorTests::tubeOutputHiddenByConditionsScreen() {
    // The exposure-condition screen's " bye bye " hides the editor.
    auto back = [this] {
        QPushButton* bye = command(shell_->conditionsScreen(), 1);
        QVERIFY(bye);
        QTest::mouseClick(bye, Qt::LeftButton);
    };
    shell_->newCalculation();
    back(); // nothing to hide yet
    QVERIFY(!shell_->tubeOutputEditor());
    shell_->newCalculation();
    shell_->openTubeOutputEditor();
    auto* editor = shell_->tubeOutputEditor();
    QVERIFY(editor->isVisible());
    back();
    QVERIFY(!editor->isVisible());
    QCOMPARE(shell_->tubeOutputEditor(), editor); // hidden, not discarded
}

// ---- Ambient dose table editor ----------------------------------------------------------------

void EditorTests::ambientOpensEveryCellInItsField() {
    shell_->openAmbientDoseEditor();
    auto* editor = shell_->ambientDoseEditor();
    QVERIFY(editor && editor->isVisible());
    QCOMPARE(editor->windowTitle(), QStringLiteral("周辺線量実測値データ編集"));
    saveScreenshot(editor, "ambientdoseeditor.png");
    // Columns of six fields: 50 kV at +30 cm, ceiling, -30 cm, then 60 kV; rows 70..120 cm.
    for (int n = 1; n <= 36; ++n) {
        const int column = (n - 1) / 6; // 0..5
        const int j = column / 3 + 1, k = column % 3 + 1, i = (n - 1) % 6 + 1;
        const QString expected = QString::number(j + 0.1 * k + 0.01 * i, 'f', 3);
        QCOMPARE(field(editor, n)->text(), expected);
    }
    QVERIFY(everyControlNamed(editor));
    QWidget* previous = field(editor, 1);
    for (int n = 2; n <= 36; ++n) {
        QCOMPARE(nextTabStop(previous), static_cast<QWidget*>(field(editor, n)));
        previous = field(editor, n);
    }
    QCOMPARE(nextTabStop(previous), static_cast<QWidget*>(command(editor, 1)));
}

void EditorTests::ambientSaveWritesTwoDecimals() {
    shell_->openAmbientDoseEditor();
    auto* editor = shell_->ambientDoseEditor();
    field(editor, 1)->setText(QStringLiteral("0.256")); // [1,1,1]
    field(editor, 22)->setText(QStringLiteral("12.5")); // [2,1,4]
    field(editor, 15)->setText(QStringLiteral("0"));    // [1,3,3]
    field(editor, 36)->setText(QStringLiteral("０"));   // [2,3,6], full-width
    shell_->calculationState().AmbientDoseTable[0][0][4] = 0; // the keys are set again on save
    QTest::mouseClick(command(editor, 1), Qt::LeftButton);

    QCOMPARE(shell_->calculationState().AmbientDoseTable[1][1][1], 0.256);
    QCOMPARE(shell_->calculationState().AmbientDoseTable[2][1][4], 12.5);
    QCOMPARE(shell_->calculationState().AmbientDoseTable[1][3][3], 0.0);
    QCOMPARE(shell_->calculationState().AmbientDoseTable[2][3][6], 0.0);
    QCOMPARE(shell_->calculationState().AmbientDoseTable[0][0][4], 100.0);
    QCOMPARE(MessageBox::shown().size(), 1);
    QCOMPARE(MessageBox::shown()[0].kind, MessageBox::Kind::Notice);
    QCOMPARE(MessageBox::shown()[0].text, QStringLiteral("新しいデータを保存しました"));
    QVERIFY(!editor->isVisible());

    const std::string expected = " 070.0 0.26 1.21 1.31 2.11 2.21 2.31\r\n"
                                 " 080.0 1.12 1.22 1.32 2.12 2.22 2.32\r\n"
                                 " 090.0 1.13 1.23 0.00 2.13 2.23 2.33\r\n"
                                 " 100.0 1.14 1.24 1.34 12.50 2.24 2.34\r\n"
                                 " 110.0 1.15 1.25 1.35 2.15 2.25 2.35\r\n"
                                 " 120.0 1.16 1.26 1.36 2.16 2.26 0.00\r\n";
    QCOMPARE(readBytes(fileNamed(refdata::kAmbientDoseFileName)), expected);

    // After a restart the table holds the file's two decimals.
    delete editor;
    shell_->calculationState() = engine::CalculationState{};
    QVERIFY(refdata::loadReferenceData(shell_->calculationState(), folder()).ok());
    QCOMPARE(shell_->calculationState().AmbientDoseTable[1][1][1], 0.26);
    shell_->openAmbientDoseEditor();
    QCOMPARE(field(shell_->ambientDoseEditor(), 1)->text(), QStringLiteral("0.260"));
    QCOMPARE(field(shell_->ambientDoseEditor(), 22)->text(), QStringLiteral("12.500"));
}

void EditorTests::ambientCancelLeavesTable() {
    const std::string before = readBytes(fileNamed(refdata::kAmbientDoseFileName));
    shell_->openAmbientDoseEditor();
    auto* editor = shell_->ambientDoseEditor();
    field(editor, 8)->setText(QStringLiteral("5"));
    QTest::mouseClick(command(editor, 2), Qt::LeftButton);
    QVERIFY(!editor->isVisible());
    QCOMPARE(shell_->calculationState().AmbientDoseTable[1][2][2], 1.22);
    QCOMPARE(readBytes(fileNamed(refdata::kAmbientDoseFileName)), before);
    QVERIFY(MessageBox::shown().isEmpty());
    shell_->openAmbientDoseEditor();
    QCOMPARE(field(editor, 8)->text(), QStringLiteral("1.220"));
}

void EditorTests::ambientWriteFailureKeepsTypedValues() {
    shell_->openAmbientDoseEditor();
    auto* editor = shell_->ambientDoseEditor();
    const fs::path kept = blockWithFolder(refdata::kAmbientDoseFileName);
    field(editor, 30)->setText(QStringLiteral("4.321"));
    QVERIFY(!editor->save());

    QCOMPARE(MessageBox::shown().size(), 1);
    QCOMPARE(MessageBox::shown()[0].kind, MessageBox::Kind::Warning);
    QVERIFY(MessageBox::shown()[0].text.contains(QStringLiteral("kaijo_dose.dat")));
    QVERIFY(editor->isVisible());
    QCOMPARE(field(editor, 30)->text(), QStringLiteral("4.321"));
    QCOMPARE(shell_->calculationState().AmbientDoseTable[2][2][6],
             4.321); // in use at once, as after a successful save
    QCOMPARE(readBytes(kept), std::string("kept"));
    QCOMPARE(strayFiles(), QStringList());
}

void EditorTests::closeBoxDiscardsEditor() {
    shell_->openAmbientDoseEditor();
    auto* first = shell_->ambientDoseEditor();
    field(first, 1)->setText(QStringLiteral("9"));
    first->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!shell_->ambientDoseEditor());
    shell_->openAmbientDoseEditor();
    QVERIFY(shell_->ambientDoseEditor());
    QCOMPARE(field(shell_->ambientDoseEditor(), 1)->text(), QStringLiteral("1.110"));
}

void EditorTests::captionsAsShown() {
    shell_->openBasicDataEditor();
    QCOMPARE(captionsOf(shell_->basicDataEditor()),
             sorted({QStringLiteral("医療施設名"), QStringLiteral("撮影装置名"),
                     QStringLiteral("Target angle"), QStringLiteral("degree"), QStringLiteral("Filtration"),
                     QStringLiteral("mm Al"), QStringLiteral("W value"), QStringLiteral("eV"),
                     QStringLiteral("Save"), QStringLiteral("Cancel"), QStringLiteral("参考レベル")}));

    shell_->openTubeOutputEditor();
    QCOMPARE(
        captionsOf(shell_->tubeOutputEditor()),
        sorted({QStringLiteral("フード・カバー無しの状態での"), QStringLiteral("焦点から１ｍの距離における"),
                QStringLiteral("単位mAs当たりの照射線量 [C/kg]"), QStringLiteral("kV"),
                QStringLiteral("照射線量"), QStringLiteral("40"), QStringLiteral("50"), QStringLiteral("60"),
                QStringLiteral("70"), QStringLiteral("80"), QStringLiteral("測定時の固有を含む濾過 [mm]"),
                QStringLiteral("Aluminum"), QStringLiteral("Copper"), QStringLiteral("Comment"),
                QStringLiteral("File name"), QStringLiteral("Save"), QStringLiteral("Cancel")}));

    shell_->openAmbientDoseEditor();
    QStringList ambient = {QStringLiteral("線束中心から側方へ30cmの位置における"),
                           QStringLiteral("1 mAs 当たりの 周辺線量当量"),
                           QStringLiteral("使用する最大の照射野（安全側評価のため）"),
                           QStringLiteral("水ファントム厚　10 cm"),
                           QStringLiteral("1 cm 線量当量 (μSv/mAs)"),
                           QStringLiteral("FDD"),
                           QStringLiteral("Save"),
                           QStringLiteral("Cancel")};
    for (const char* voltage : {"50 kV", "60 kV"})
        ambient << QString::fromUtf8(voltage) << QStringLiteral("+ 30 cm") << QStringLiteral("クベース天井高")
                << QStringLiteral("- 30 cm");
    for (int cm = 70; cm <= 120; cm += 10)
        ambient << QStringLiteral("%1 cm").arg(cm);
    QCOMPARE(captionsOf(shell_->ambientDoseEditor()), sorted(ambient));
}

void EditorTests::ambientFieldsStandUnderTheirCaptions() {
    // Field Text<n> stands in the column of its voltage and position and in the row of its
    // distance: Text1..Text6 50 kV "+ 30 cm" at 70..120 cm, Text7..Text12 50 kV at the ceiling
    // height, ..., Text31..Text36 60 kV "- 30 cm".
    shell_->openAmbientDoseEditor();
    auto* editor = shell_->ambientDoseEditor();
    const QString voltages[] = {QStringLiteral("50 kV"), QStringLiteral("60 kV")};
    const QString positions[] = {QStringLiteral("+ 30 cm"), QStringLiteral("クベース天井高"),
                                 QStringLiteral("- 30 cm")};
    auto spans = [](QWidget* w, int x) { return w->x() <= x && x < w->x() + w->width(); };
    for (int n = 1; n <= 36; ++n) {
        QLineEdit* f = field(editor, n);
        const int voltage = (n - 1) / 18, position = ((n - 1) / 6) % 3, row = (n - 1) % 6;
        const int centreX = f->geometry().center().x(), centreY = f->geometry().center().y();
        const auto voltageLabels = labelsShowing(editor, voltages[voltage]);
        QCOMPARE(voltageLabels.size(), 1);
        QVERIFY2(spans(voltageLabels[0], centreX), qPrintable(QStringLiteral("Text%1").arg(n)));
        int under = 0;
        for (QLabel* label : labelsShowing(editor, positions[position]))
            if (spans(label, centreX) && label->y() > voltageLabels[0]->y() && label->y() < f->y())
                ++under;
        QVERIFY2(under == 1, qPrintable(QStringLiteral("Text%1 column").arg(n)));
        const auto rowLabels = labelsShowing(editor, QStringLiteral("%1 cm").arg(70 + 10 * row));
        QCOMPARE(rowLabels.size(), 1);
        QVERIFY2(rowLabels[0]->y() <= centreY && centreY < rowLabels[0]->y() + rowLabels[0]->height() + 8,
                 qPrintable(QStringLiteral("Text%1 row").arg(n)));
    }
}

QTEST_MAIN(EditorTests)
#include "tst_editors.moc"
