#include "ui/editors/referenceleveleditor.h"

#include "textio/fileio.h"
#include "textio/numbertext.h"
#include "ui/kit/messagebox.h"
#include "ui/kit/uiutil.h"

#include <QApplication>
#include <QCoreApplication>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>

#include <system_error>

namespace tamso::ui {

namespace {

const char* const kUsed = QT_TRANSLATE_NOOP("ReferenceLevelEditor", "比較に使用");
const char* const kNoLevel = QT_TRANSLATE_NOOP("ReferenceLevelEditor", "比較しない（空欄）");
const char* const kDocumentation = QT_TRANSLATE_NOOP("ReferenceLevelEditor", "参考（比較しない）");

QTableWidgetItem* fixedItem(const QString& text) {
    auto* item = new QTableWidgetItem(text);
    item->setFlags(item->flags() & ~Qt::ItemIsEditable);
    return item;
}

} // namespace

ReferenceLevelEditor::ReferenceLevelEditor(QWidget* parent) : QWidget(parent, Qt::Window) {
    setAttribute(Qt::WA_DeleteOnClose);
    setObjectName(QStringLiteral("Form10"));
    setWindowTitle(QCoreApplication::translate("ReferenceLevelEditor", "TAMSO 診断参考レベル"));
    setAccessibleName(windowTitle());
    setAccessibleDescription(objectName());
    setFixedSize(twips(10800), twips(6240));

    addLabel(this, QStringLiteral("Label1"),
             QCoreApplication::translate(
                 "ReferenceLevelEditor",
                 "撮影部位ごとの診断参考レベル（入射表面線量 mGy）。空欄の撮影部位とは比較しません。"),
             240, 180, 10320);
    addLabel(this, QStringLiteral("Label2"),
             QCoreApplication::translate(
                 "ReferenceLevelEditor",
                 "同じ撮影部位の 2 行目以降は参考として保存し、比較には最初の行を使います。"),
             240, 450, 10320);

    grid1_ = new QTableWidget(0, ColumnCount, this);
    nameControl(grid1_, QStringLiteral("Grid1"),
                QCoreApplication::translate("ReferenceLevelEditor", "診断参考レベルの表"));
    placeTwips(grid1_, 240, 840, 10320, 4440);
    grid1_->setHorizontalHeaderLabels(
        {QCoreApplication::translate("ReferenceLevelEditor", "撮影部位"),
         QCoreApplication::translate("ReferenceLevelEditor", "参考レベル (mGy)"),
         QCoreApplication::translate("ReferenceLevelEditor", "出典"),
         QCoreApplication::translate("ReferenceLevelEditor", "用途")});
    grid1_->setSelectionMode(QAbstractItemView::SingleSelection);
    grid1_->verticalHeader()->setVisible(false);
    grid1_->horizontalHeader()->setSectionResizeMode(SourceColumn, QHeaderView::Stretch);
    grid1_->setColumnWidth(BodyPartColumn, twips(1800));
    grid1_->setColumnWidth(LevelColumn, twips(1560));
    grid1_->setColumnWidth(UseColumn, twips(1800));

    command1_ = new QPushButton(QStringLiteral("Save"), this);
    nameControl(command1_, QStringLiteral("Command1"), QStringLiteral("Save"));
    placeTwips(command1_, 7800, 5460, 1215, 495);
    command2_ = new QPushButton(QStringLiteral("Cancel"), this);
    nameControl(command2_, QStringLiteral("Command2"), QStringLiteral("Cancel"));
    placeTwips(command2_, 9240, 5460, 1215, 495);
    setTabOrder(grid1_, command1_);
    setTabOrder(command1_, command2_);
    connect(command1_, &QPushButton::clicked, this, [this] { save(); });
    connect(command2_, &QPushButton::clicked, this, [this] { cancel(); });
    connect(grid1_, &QTableWidget::itemChanged, this, [this](QTableWidgetItem* item) {
        if (item->column() == LevelColumn && grid1_->item(item->row(), UseColumn))
            refreshUse();
    });
}

bool ReferenceLevelEditor::open() {
    const auto folder = workingFolderPath();
    const auto file = textio::fileInFolder(folder, refdata::kReferenceLevelFileName);
    refdata::ReferenceLevelTable table;
    std::error_code ec;
    if (std::filesystem::status(file, ec).type() != std::filesystem::file_type::not_found) {
        auto read = refdata::readReferenceLevelFile(file);
        if (!read.ok()) {
            MessageBox::warning(
                isVisible() ? this : QApplication::activeWindow(),
                QCoreApplication::translate("ReferenceLevelEditor", "参考レベルを読み込めません。\n") +
                    coreText(read.error().message) +
                    QCoreApplication::translate("ReferenceLevelEditor",
                                                "\nファイルを直すか削除してから開いて下さい。"));
            return false;
        }
        table = std::move(*read);
    }
    refdata::ReferenceLevels = table;
    fill(refdata::arrangeForBodyPartList(table, refdata::readBodyPartList(folder), &listed_));
    show();
    raise();
    activateWindow();
    return true;
}

void ReferenceLevelEditor::fill(const std::vector<refdata::ReferenceLevelRow>& rows) {
    grid1_->setRowCount(0);
    grid1_->setRowCount(static_cast<int>(rows.size()));
    for (int r = 0; r < grid1_->rowCount(); ++r) {
        const refdata::ReferenceLevelRow& row = rows[static_cast<size_t>(r)];
        grid1_->setItem(r, BodyPartColumn, fixedItem(qs(row.bodyPart)));
        grid1_->setItem(
            r, LevelColumn,
            new QTableWidgetItem(row.levelMGy ? qs(textio::numberToText(*row.levelMGy)) : QString()));
        grid1_->item(r, LevelColumn)->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
        grid1_->setItem(r, SourceColumn, new QTableWidgetItem(qs(row.source)));
        grid1_->item(r, SourceColumn)->setToolTip(qs(row.source));
        grid1_->setItem(r, UseColumn, fixedItem(QString()));
    }
    refreshUse();
}

void ReferenceLevelEditor::refreshUse() {
    refdata::ReferenceLevelTable shown;
    for (int r = 0; r < grid1_->rowCount(); ++r)
        shown.rows.push_back({utf8(grid1_->item(r, BodyPartColumn)->text()), std::nullopt, std::string()});
    for (int r = 0; r < grid1_->rowCount(); ++r) {
        const bool used = shown.isUsedRow(static_cast<size_t>(r));
        const bool hasLevel = !grid1_->item(r, LevelColumn)->text().trimmed().isEmpty();
        grid1_->item(r, UseColumn)
            ->setText(QCoreApplication::translate("ReferenceLevelEditor", !used      ? kDocumentation
                                                                          : hasLevel ? kUsed
                                                                                     : kNoLevel));
        if (!used)
            for (int c = 0; c < ColumnCount; ++c)
                grid1_->item(r, c)->setForeground(QColor(0x55, 0x55, 0x55));
    }
}

bool ReferenceLevelEditor::save() {
    refdata::ReferenceLevelTable table;
    for (int r = 0; r < grid1_->rowCount(); ++r) {
        refdata::ReferenceLevelRow row;
        row.bodyPart = utf8(grid1_->item(r, BodyPartColumn)->text());
        const QString levelText = grid1_->item(r, LevelColumn)->text().trimmed();
        row.source = utf8(grid1_->item(r, SourceColumn)->text().trimmed());
        if (!levelText.isEmpty()) {
            const std::optional<double> level = textio::parseNumber(utf8(levelText));
            if (!level || !(*level > 0)) {
                grid1_->setCurrentCell(r, LevelColumn);
                MessageBox::warning(this, QCoreApplication::translate(
                                              "ReferenceLevelEditor",
                                              "撮影部位「%1」の参考レベル「%2」は 0 より大きい数値（mGy）で"
                                              "入力して下さい。")
                                              .arg(qs(row.bodyPart), levelText));
                return false;
            }
            row.levelMGy = *level;
        }
        // A documentation row emptied of level and source goes; a body-part-list row stays.
        if (static_cast<size_t>(r) >= listed_ && !row.levelMGy && row.source.empty())
            continue;
        table.rows.push_back(std::move(row));
    }
    const auto file = textio::fileInFolder(workingFolderPath(), refdata::kReferenceLevelFileName);
    if (const Status written = refdata::writeReferenceLevelFile(file, table); !written.ok()) {
        MessageBox::warning(this, QCoreApplication::translate("ReferenceLevelEditor",
                                                              "参考レベルを保存できませんでした。\n") +
                                      coreText(written.message()));
        return false;
    }
    refdata::ReferenceLevels = table;
    emit referenceLevelsChanged();
    MessageBox::notice(this,
                       QCoreApplication::translate("ReferenceLevelEditor", "参考レベルを保存しました。"));
    hide();
    return true;
}

void ReferenceLevelEditor::cancel() {
    hide();
}

} // namespace tamso::ui
