#include "ui/editors/tubeoutputeditor.h"

#include "engine/calculationstate.h"
#include "refdata/referencefiles.h"
#include "textio/fileio.h"
#include "textio/numberformat.h"
#include "textio/numbertext.h"
#include "ui/kit/messagebox.h"
#include "ui/kit/numberinput.h"
#include "ui/kit/uiutil.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <filesystem>
#include <iterator>

namespace tamso::ui {
namespace {

const char* const kRowCaptions[] = {"", "40", "50", "60", "70", "80"};

} // namespace

TubeOutputEditor::TubeOutputEditor(engine::CalculationState& state, QWidget* parent)
    : QWidget(parent, Qt::Window), state_(state) {
    setAttribute(Qt::WA_DeleteOnClose);
    setObjectName(QStringLiteral("Form7"));
    setWindowTitle(QCoreApplication::translate("TubeOutputEditor", "出力データ編集"));
    setAccessibleName(windowTitle());
    setAccessibleDescription(objectName());
    setFixedSize(twips(5535), twips(6540));

    addLabel(this, QStringLiteral("Label1"),
             QCoreApplication::translate("TubeOutputEditor", "フード・カバー無しの状態での"), 240, 120, 4935);
    addLabel(this, QStringLiteral("Label2"),
             QCoreApplication::translate("TubeOutputEditor", "焦点から１ｍの距離における"), 240, 400, 4935);
    addLabel(this, QStringLiteral("Label3"),
             QCoreApplication::translate("TubeOutputEditor", "単位mAs当たりの照射線量 [C/kg]"), 240, 680,
             4935);
    addLabel(this, QStringLiteral("Label4"), QStringLiteral("kV"), 600, 1080, 615);
    addLabel(this, QStringLiteral("Label5"), QCoreApplication::translate("TubeOutputEditor", "照射線量"),
             1560, 1080, 1335);
    for (int r = 1; r <= engine::kTubeOutputRows; ++r) {
        const QString caption = QString::fromLatin1(kRowCaptions[r]);
        const int top = 1380 + (r - 1) * 420;
        auto* label = addLabel(this, QStringLiteral("Label%1").arg(5 + r), caption, 600, top + 60, 615);
        exposure_[r] = addField(this, QStringLiteral("Text%1").arg(r),
                                caption + QCoreApplication::translate("TubeOutputEditor", " kV 照射線量"),
                                1320, top, 1575);
        label->setBuddy(exposure_[r]);
    }
    addLabel(this, QStringLiteral("Label11"),
             QCoreApplication::translate("TubeOutputEditor", "測定時の固有を含む濾過 [mm]"), 240, 3540, 4935);
    auto* label12 = addLabel(this, QStringLiteral("Label12"), QStringLiteral("Aluminum"), 240, 3960, 1215);
    text37_ = addField(this, QStringLiteral("Text37"), QStringLiteral("Aluminum [mm]"), 1560, 3900, 1095);
    auto* label13 = addLabel(this, QStringLiteral("Label13"), QStringLiteral("Copper"), 240, 4380, 1215);
    text38_ = addField(this, QStringLiteral("Text38"), QStringLiteral("Copper [mm]"), 1560, 4320, 1095);
    auto* label14 = addLabel(this, QStringLiteral("Label14"), QStringLiteral("Comment"), 240, 4860, 1215);
    text44_ = addField(this, QStringLiteral("Text44"), QStringLiteral("Comment"), 1560, 4800, 3735);
    auto* label15 = addLabel(this, QStringLiteral("Label15"), QStringLiteral("File name"), 240, 5280, 1215);
    text43_ = addField(this, QStringLiteral("Text43"), QStringLiteral("File name"), 1560, 5220, 3735);
    text43_->setEnabled(false);
    label12->setBuddy(text37_);
    label13->setBuddy(text38_);
    label14->setBuddy(text44_);
    label15->setBuddy(text43_);

    command1_ = new QPushButton(QStringLiteral("Save"), this);
    nameControl(command1_, QStringLiteral("Command1"), QStringLiteral("Save"));
    placeTwips(command1_, 1560, 5820, 1215, 495);
    command2_ = new QPushButton(QStringLiteral("Cancel"), this);
    nameControl(command2_, QStringLiteral("Command2"), QStringLiteral("Cancel"));
    placeTwips(command2_, 3000, 5820, 1215, 495);
    connect(command1_, &QPushButton::clicked, this, [this] { save(); });
    connect(command2_, &QPushButton::clicked, this, [this] { cancel(); });

    QWidget* order[] = {exposure_[1], exposure_[2], exposure_[3], exposure_[4], exposure_[5], text37_,
                        text38_,      text44_,      text43_,      command1_,    command2_};
    for (size_t i = 0; i + 1 < std::size(order); ++i)
        setTabOrder(order[i], order[i + 1]);
    // The Enter chain skips the file name field, which takes no input.
    for (QLineEdit* field :
         {exposure_[1], exposure_[2], exposure_[3], exposure_[4], exposure_[5], text37_, text38_, text44_})
        field->installEventFilter(this);
    for (QLineEdit* number :
         {exposure_[1], exposure_[2], exposure_[3], exposure_[4], exposure_[5], text37_, text38_})
        foldWideCharacters(number);
}

bool TubeOutputEditor::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            QWidget* next = nullptr;
            for (int r = 1; r < engine::kTubeOutputRows; ++r)
                if (watched == exposure_[r])
                    next = exposure_[r + 1];
            if (watched == exposure_[engine::kTubeOutputRows])
                next = text37_;
            else if (watched == text37_)
                next = text38_;
            else if (watched == text38_)
                next = text44_;
            else if (watched == text44_)
                next = command1_;
            if (next)
                next->setFocus(Qt::OtherFocusReason);
            return false; // the key is not consumed
        }
    }
    return QWidget::eventFilter(watched, event);
}

void TubeOutputEditor::open() {
    fillFromState();
    show();
    raise();
    activateWindow();
}

void TubeOutputEditor::fillFromState() {
    for (int r = 1; r <= engine::kTubeOutputRows; ++r)
        exposure_[r]->setText(qs(textio::formatNumber(state_.TubeOutputTable[2][r], "0.00E+00")));
    text37_->setText(qs(textio::formatNumber(state_.refFilterAlCm * 10, "#0.00")));
    text38_->setText(qs(textio::formatNumber(state_.refFilterCuCm * 10, "#0.00")));
    text43_->setText(qs(state_.outputDataFileName));
    text44_->setText(qs(state_.outputDataComment));
}

bool TubeOutputEditor::save() {
    // Only values the calculation can work with are taken: an exposure above 0 for each voltage,
    // filtration of 0 or more. A refused value changes nothing.
    double exposures[engine::kTubeOutputRows + 1] = {};
    for (int r = 1; r <= engine::kTubeOutputRows; ++r) {
        const auto value = numberForSave(
            this, exposure_[r],
            QCoreApplication::translate("TubeOutputEditor", "%1 kV の照射線量")
                .arg(QLatin1String(kRowCaptions[r])),
            [](double v) { return v > 0; },
            QCoreApplication::translate("TubeOutputEditor", "0 より大きい数値（C/kg）"));
        if (!value)
            return false;
        exposures[r] = *value;
    }
    const QString filtrationNeeds = QCoreApplication::translate("TubeOutputEditor", "0 以上の数値（mm）");
    const auto al = numberForSave(
        this, text37_, QStringLiteral("Aluminum"), [](double v) { return v >= 0; }, filtrationNeeds);
    if (!al)
        return false;
    const auto cu = numberForSave(
        this, text38_, QStringLiteral("Copper"), [](double v) { return v >= 0; }, filtrationNeeds);
    if (!cu)
        return false;
    // The edited exposures and filtration values are in effect from here on, whatever follows;
    // results computed from the old values no longer hold.
    bool changed = false;
    auto assign = [&changed](double& cell, double value) {
        changed = changed || cell != value;
        cell = value;
    };
    for (int r = 1; r <= engine::kTubeOutputRows; ++r)
        assign(state_.TubeOutputTable[2][r], exposures[r]);
    const double alMm = *al;
    const double cuMm = *cu;
    assign(state_.refFilterAlCm, alMm * 0.1);
    assign(state_.refFilterCuCm, cuMm * 0.1);
    if (changed)
        emit referenceDataChanged();

    const QString name = text43_->text();
    const std::filesystem::path file = textio::fileInFolder(workingFolderPath(), utf8(name));
    if (textio::canOpenForReading(file) &&
        !MessageBox::askYesNo(
            this, QCoreApplication::translate("TubeOutputEditor",
                                              "この名前のファイルはすでに存在します。上書きしますか？")))
        return false;

    QString comment = text44_->text();
    if (comment.isEmpty())
        comment = QStringLiteral("No comment");
    state_.outputDataComment = utf8(comment);

    refdata::TubeOutputData data;
    data.comment = utf8(comment);
    for (int r = 1; r <= engine::kTubeOutputRows; ++r) {
        data.voltageKv[r] = state_.TubeOutputTable[1][r];
        data.exposureCkgPerMas[r] = state_.TubeOutputTable[2][r];
    }
    data.refFilterAlMm = alMm;
    data.refFilterCuMm = cuMm;
    if (auto failure = refdata::writeTubeOutputFile(file, data); !failure.ok()) {
        // The edited values stay in the state and in the fields; the old file is untouched.
        MessageBox::warning(
            this, QCoreApplication::translate("TubeOutputEditor", "出力データを保存できませんでした。\n") +
                      coreText(failure.error()));
        return false;
    }

    state_.outputDataFileName = utf8(name);
    emit outputDataSaved(name);
    hide();
    return true;
}

void TubeOutputEditor::cancel() {
    hide();
}

} // namespace tamso::ui
