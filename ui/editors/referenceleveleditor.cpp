#include "ui/editors/referenceleveleditor.h"

#include "textio/fileio.h"
#include "textio/numbertext.h"
#include "ui/kit/messagebox.h"
#include "ui/kit/numberinput.h"
#include "ui/kit/uiutil.h"

#include <QApplication>
#include <QCoreApplication>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTableWidget>

#include <algorithm>
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

// The body-part item of a row of the body-part list holds this role: its text is fixed.
constexpr int kListedRole = Qt::UserRole;

bool isListed(const QTableWidgetItem* bodyPart) {
    return bodyPart && bodyPart->data(kListedRole).toBool();
}

} // namespace

ReferenceLevelEditor::ReferenceLevelEditor(refdata::ReferenceLevelTable& levelsInEffect, QWidget* parent)
    : QWidget(parent, Qt::Window), levelsInEffect_(levelsInEffect) {
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
    // The use column as wide as its longest word (the source column takes what is left).
    int useWidth = twips(1800);
    for (const char* use : {kUsed, kNoLevel, kDocumentation})
        useWidth = std::max(useWidth, grid1_->fontMetrics().horizontalAdvance(
                                          QCoreApplication::translate("ReferenceLevelEditor", use)) +
                                          16);
    grid1_->setColumnWidth(UseColumn, useWidth);

    command1_ = new QPushButton(QStringLiteral("Save"), this);
    nameControl(command1_, QStringLiteral("Command1"), QStringLiteral("Save"));
    placeTwips(command1_, 7800, 5460, 1215, 495);
    command2_ = new QPushButton(QStringLiteral("Cancel"), this);
    nameControl(command2_, QStringLiteral("Command2"), QStringLiteral("Cancel"));
    placeTwips(command2_, 9240, 5460, 1215, 495);
    const struct {
        QPushButton** button;
        const char* name;
        const char* caption;
        int left;
    } rowCommands[] = {{&command3_, "Command3", QT_TRANSLATE_NOOP("ReferenceLevelEditor", "行を追加"), 240},
                       {&command4_, "Command4", QT_TRANSLATE_NOOP("ReferenceLevelEditor", "行を削除"), 1560},
                       {&command5_, "Command5", QT_TRANSLATE_NOOP("ReferenceLevelEditor", "上へ"), 2880},
                       {&command6_, "Command6", QT_TRANSLATE_NOOP("ReferenceLevelEditor", "下へ"), 4200}};
    for (const auto& c : rowCommands) {
        const QString caption = QCoreApplication::translate("ReferenceLevelEditor", c.caption);
        *c.button = new QPushButton(caption, this);
        nameControl(*c.button, QString::fromLatin1(c.name), caption);
        placeTwips(*c.button, c.left, 5460, 1215, 495);
    }
    setTabOrder(grid1_, command3_);
    setTabOrder(command3_, command4_);
    setTabOrder(command4_, command5_);
    setTabOrder(command5_, command6_);
    setTabOrder(command6_, command1_);
    setTabOrder(command1_, command2_);
    connect(command1_, &QPushButton::clicked, this, [this] { save(); });
    connect(command2_, &QPushButton::clicked, this, [this] { cancel(); });
    connect(command3_, &QPushButton::clicked, this, [this] { addRow(); });
    connect(command4_, &QPushButton::clicked, this, [this] { deleteRow(); });
    connect(command5_, &QPushButton::clicked, this, [this] { moveRow(-1); });
    connect(command6_, &QPushButton::clicked, this, [this] { moveRow(1); });
    connect(grid1_, &QTableWidget::itemChanged, this, [this](QTableWidgetItem* item) {
        if ((item->column() == LevelColumn || item->column() == BodyPartColumn) &&
            grid1_->item(item->row(), UseColumn))
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
                    coreText(read.error()) +
                    QCoreApplication::translate("ReferenceLevelEditor",
                                                "\nファイルを直すか削除してから開いて下さい。"));
            return false;
        }
        table = std::move(*read);
    }
    levelsInEffect_ = table;
    size_t listed = 0;
    fill(refdata::arrangeForBodyPartList(table, refdata::readBodyPartList(folder), &listed));
    for (int r = 0; r < static_cast<int>(listed) && r < grid1_->rowCount(); ++r)
        grid1_->item(r, BodyPartColumn)->setData(kListedRole, true);
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
        grid1_->setItem(r, BodyPartColumn, fixedItem(qs(row.bodyPart))); // the file's records: fixed too
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

size_t ReferenceLevelEditor::listedRows() const {
    size_t listed = 0;
    for (int r = 0; r < grid1_->rowCount(); ++r)
        listed += isListed(grid1_->item(r, BodyPartColumn));
    return listed;
}

void ReferenceLevelEditor::addRow() {
    const int row = grid1_->currentRow() < 0 ? grid1_->rowCount() : grid1_->currentRow() + 1;
    const QSignalBlocker quiet(grid1_);
    grid1_->insertRow(row);
    grid1_->setItem(row, BodyPartColumn, new QTableWidgetItem(QString())); // to be typed
    grid1_->setItem(row, LevelColumn, new QTableWidgetItem(QString()));
    grid1_->item(row, LevelColumn)->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    grid1_->setItem(row, SourceColumn, new QTableWidgetItem(QString()));
    grid1_->setItem(row, UseColumn, fixedItem(QString()));
    refreshUse();
    grid1_->setCurrentCell(row, BodyPartColumn);
    grid1_->editItem(grid1_->item(row, BodyPartColumn));
}

void ReferenceLevelEditor::deleteRow() {
    const int row = grid1_->currentRow();
    if (row < 0)
        return;
    grid1_->removeRow(row);
    refreshUse();
    if (grid1_->rowCount() > 0)
        grid1_->setCurrentCell(std::min(row, grid1_->rowCount() - 1), grid1_->currentColumn());
}

void ReferenceLevelEditor::moveRow(int by) {
    const int row = grid1_->currentRow();
    const int to = row + by;
    if (row < 0 || to < 0 || to >= grid1_->rowCount())
        return;
    const QSignalBlocker quiet(grid1_);
    for (int c = 0; c < ColumnCount; ++c) {
        QTableWidgetItem* a = grid1_->takeItem(row, c);
        QTableWidgetItem* b = grid1_->takeItem(to, c);
        grid1_->setItem(row, c, b);
        grid1_->setItem(to, c, a);
    }
    refreshUse();
    grid1_->setCurrentCell(to, std::max(0, grid1_->currentColumn()));
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
        for (int c = 0; c < ColumnCount; ++c)
            grid1_->item(r, c)->setForeground(used ? QColor(Qt::black) : QColor(0x55, 0x55, 0x55));
    }
}

bool ReferenceLevelEditor::save() {
    refdata::ReferenceLevelTable table;
    for (int r = 0; r < grid1_->rowCount(); ++r) {
        refdata::ReferenceLevelRow row;
        row.bodyPart = utf8(grid1_->item(r, BodyPartColumn)->text());
        const QString levelText = grid1_->item(r, LevelColumn)->text().trimmed();
        row.source = utf8(grid1_->item(r, SourceColumn)->text().trimmed());
        const bool listed = isListed(grid1_->item(r, BodyPartColumn));
        const bool noBodyPart = grid1_->item(r, BodyPartColumn)->text().trimmed().isEmpty();
        if (noBodyPart && !listed && levelText.isEmpty() && row.source.empty())
            continue; // an added row left empty
        if (noBodyPart) {
            grid1_->setCurrentCell(r, BodyPartColumn);
            MessageBox::warning(this, coreText(Error(ErrorCode::ReferenceLevelNoBodyPart)));
            return false;
        }
        if (!levelText.isEmpty()) {
            const TypedNumber typed = readTypedNumber(levelText);
            const std::optional<double> level =
                typed.ok() ? std::optional<double>(typed.value) : std::nullopt;
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
        if (!listed && !row.levelMGy && row.source.empty())
            continue;
        table.rows.push_back(std::move(row));
    }
    const auto file = textio::fileInFolder(workingFolderPath(), refdata::kReferenceLevelFileName);
    if (const Status written = refdata::writeReferenceLevelFile(file, table); !written.ok()) {
        MessageBox::warning(this, QCoreApplication::translate("ReferenceLevelEditor",
                                                              "参考レベルを保存できませんでした。\n") +
                                      coreText(written.error()));
        return false;
    }
    levelsInEffect_ = table;
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
