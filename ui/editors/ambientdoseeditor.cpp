#include "ui/editors/ambientdoseeditor.h"

#include "engine/calculationstate.h"
#include "refdata/referencefiles.h"
#include "textio/fileio.h"
#include "textio/numberformat.h"
#include "textio/numbertext.h"
#include "ui/kit/messagebox.h"
#include "ui/kit/numberinput.h"
#include "ui/kit/uiutil.h"

#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <filesystem>

namespace tamso::ui {
namespace {

constexpr int kFieldCount = 36;
constexpr int kRowTop = 1740;
constexpr int kRowStep = 420;
constexpr int kColumnWidth = 1320; // "クベース天井高" fits over its column

QLabel* alignedLabel(QWidget* parent, const QString& name, const QString& text, int left, int top, int width,
                     Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignVCenter) {
    QLabel* label = addLabel(parent, name, text, left, top, width);
    label->setAlignment(alignment);
    return label;
}

int columnLeft(int voltage, int position) {
    return 1560 + (voltage - 1) * (3 * kColumnWidth + 120) + (position - 1) * kColumnWidth;
}

const char* const kVoltageCaptions[] = {"", "50 kV", "60 kV"};
const char* const kPositionCaptions[] = {"", "+ 30 cm",
                                         QT_TRANSLATE_NOOP("AmbientDoseEditor", "クベース天井高"), "- 30 cm"};
const int kRowKeys[] = {0, 70, 80, 90, 100, 110, 120};

} // namespace

AmbientDoseEditor::Cell AmbientDoseEditor::cellOfField(int n) {
    return Cell{(n - 1) / 18 + 1, ((n - 1) / 6) % 3 + 1, (n - 1) % 6 + 1};
}

AmbientDoseEditor::AmbientDoseEditor(engine::CalculationState& state, QWidget* parent)
    : QWidget(parent, Qt::Window), state_(state) {
    setAttribute(Qt::WA_DeleteOnClose);
    setObjectName(QStringLiteral("Form3"));
    setWindowTitle(QCoreApplication::translate("AmbientDoseEditor", "周辺線量実測値データ編集"));
    setAccessibleName(windowTitle());
    setAccessibleDescription(objectName());
    setFixedSize(twips(9840), twips(5160));

    int labelNumber = 0;
    auto nextLabel = [&labelNumber] { return QStringLiteral("Label%1").arg(++labelNumber); };
    alignedLabel(this, nextLabel(),
                 QCoreApplication::translate("AmbientDoseEditor", "線束中心から側方へ30cmの位置における"),
                 240, 120, 5040);
    alignedLabel(this, nextLabel(),
                 QCoreApplication::translate("AmbientDoseEditor", "1 mAs 当たりの 周辺線量当量"), 240, 400,
                 5040);
    alignedLabel(this, nextLabel(),
                 QCoreApplication::translate("AmbientDoseEditor", "使用する最大の照射野（安全側評価のため）"),
                 240, 680, 5040);
    alignedLabel(this, nextLabel(), QCoreApplication::translate("AmbientDoseEditor", "水ファントム厚　10 cm"),
                 5520, 400, 3360);
    alignedLabel(this, nextLabel(),
                 QCoreApplication::translate("AmbientDoseEditor", "1 cm 線量当量 (μSv/mAs)"), 5520, 680,
                 3360);
    for (int j = 1; j <= 2; ++j) {
        alignedLabel(this, nextLabel(), QString::fromUtf8(kVoltageCaptions[j]), columnLeft(j, 1), 1080,
                     3 * kColumnWidth, Qt::AlignCenter);
        for (int k = 1; k <= 3; ++k)
            alignedLabel(this, nextLabel(),
                         QCoreApplication::translate("AmbientDoseEditor", kPositionCaptions[k]),
                         columnLeft(j, k), 1380, kColumnWidth, Qt::AlignCenter);
    }
    alignedLabel(this, nextLabel(), QStringLiteral("FDD"), 240, 1380, 1095);
    for (int i = 1; i <= engine::kAmbientRows; ++i)
        alignedLabel(this, nextLabel(), QStringLiteral("%1 cm").arg(kRowKeys[i]), 240,
                     kRowTop + (i - 1) * kRowStep + 60, 1095);

    for (int n = 1; n <= kFieldCount; ++n) {
        const Cell cell = cellOfField(n);
        auto* field = new QLineEdit(this);
        nameControl(
            field, QStringLiteral("Text%1").arg(n),
            QStringLiteral("%1 %2 FDD %3 cm")
                .arg(QString::fromUtf8(kVoltageCaptions[cell.voltage]),
                     QCoreApplication::translate("AmbientDoseEditor", kPositionCaptions[cell.position]))
                .arg(kRowKeys[cell.row]));
        placeTwips(field, columnLeft(cell.voltage, cell.position) + 45, kRowTop + (cell.row - 1) * kRowStep,
                   kColumnWidth - 90, 375);
        fields_[n] = field;
        foldWideCharacters(field);
        if (n > 1)
            setTabOrder(fields_[n - 1], field);
    }

    const int commandTop = kRowTop + engine::kAmbientRows * kRowStep + 180;
    command1_ = new QPushButton(QStringLiteral("Save"), this);
    nameControl(command1_, QStringLiteral("Command1"), QStringLiteral("Save"));
    placeTwips(command1_, 5280, commandTop, 1215, 495);
    command2_ = new QPushButton(QStringLiteral("Cancel"), this);
    nameControl(command2_, QStringLiteral("Command2"), QStringLiteral("Cancel"));
    placeTwips(command2_, 6720, commandTop, 1215, 495);
    setTabOrder(fields_[kFieldCount], command1_);
    setTabOrder(command1_, command2_);
    connect(command1_, &QPushButton::clicked, this, [this] { save(); });
    connect(command2_, &QPushButton::clicked, this, [this] { cancel(); });
}

void AmbientDoseEditor::open() {
    fillFromState();
    show();
    raise();
    activateWindow();
}

void AmbientDoseEditor::fillFromState() {
    for (int n = 1; n <= kFieldCount; ++n) {
        const Cell c = cellOfField(n);
        fields_[n]->setText(
            qs(textio::formatNumber(state_.AmbientDoseTable[c.voltage][c.position][c.row], "#0.000")));
    }
}

bool AmbientDoseEditor::save() {
    // The table holds the typed values at full precision from here on, also if the file cannot be
    // written: the caregiver dose uses them at once, as after a successful save.
    // Caregiver doses computed from the old values no longer hold.
    // Every cell a measured dose equivalent of 0 or more; a refused value changes nothing.
    double values[kFieldCount + 1] = {};
    for (int n = 1; n <= kFieldCount; ++n) {
        const auto value = numberForSave(
            this, fields_[n], fields_[n]->accessibleName(), [](double v) { return v >= 0; },
            QCoreApplication::translate("AmbientDoseEditor", "0 以上の数値（μSv/mAs）"));
        if (!value)
            return false;
        values[n] = *value;
    }
    bool changed = false;
    auto assign = [&changed](double& cell, double value) {
        changed = changed || cell != value;
        cell = value;
    };
    for (int n = 1; n <= kFieldCount; ++n) {
        const Cell c = cellOfField(n);
        assign(state_.AmbientDoseTable[c.voltage][c.position][c.row], values[n]);
    }
    for (int i = 1; i <= engine::kAmbientRows; ++i)
        assign(state_.AmbientDoseTable[0][0][i], kRowKeys[i]);
    if (changed)
        emit referenceDataChanged();

    refdata::AmbientDoseData data;
    for (int j = 0; j <= 2; ++j)
        for (int k = 0; k <= 3; ++k)
            for (int i = 0; i <= engine::kAmbientRows; ++i)
                data.cells[j][k][i] = state_.AmbientDoseTable[j][k][i];
    const auto file = textio::fileInFolder(workingFolderPath(), refdata::kAmbientDoseFileName);
    if (auto failure = refdata::writeAmbientDoseFile(file, data); !failure.ok()) {
        MessageBox::warning(this, QCoreApplication::translate("AmbientDoseEditor",
                                                              "周辺線量データを保存できませんでした。\n") +
                                      coreText(failure.error()));
        return false;
    }
    MessageBox::notice(this, QCoreApplication::translate("AmbientDoseEditor", "新しいデータを保存しました"));
    hide();
    return true;
}

void AmbientDoseEditor::cancel() {
    hide();
}

} // namespace tamso::ui
