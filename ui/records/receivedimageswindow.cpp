#include "ui/records/receivedimageswindow.h"

#include "node/nodefolders.h"
#include "ui/kit/messagebox.h"
#include "ui/kit/uiutil.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>

namespace tamso::ui {

namespace {

QString outcomeText(node::Outcome outcome) {
    switch (outcome) {
    case node::Outcome::Recorded:
        return QCoreApplication::translate("ReceivedImagesWindow", "記録");
    case node::Outcome::Resolved:
        return QCoreApplication::translate("ReceivedImagesWindow", "報告書から記録");
    case node::Outcome::Derived:
        return QCoreApplication::translate("ReceivedImagesWindow", "派生画像（記録しない）");
    case node::Outcome::Duplicate:
        return QCoreApplication::translate("ReceivedImagesWindow", "再送（記録済み）");
    case node::Outcome::Held:
        return QCoreApplication::translate("ReceivedImagesWindow", "保留");
    case node::Outcome::Unreadable:
        return QCoreApplication::translate("ReceivedImagesWindow", "読めない画像");
    }
    return QString();
}

QTableWidget* table(QWidget* parent, const char* name, const QString& caption, const QStringList& headings) {
    auto* grid = new QTableWidget(0, static_cast<int>(headings.size()), parent);
    nameControl(grid, QString::fromLatin1(name), caption);
    grid->setHorizontalHeaderLabels(headings);
    grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid->setTabKeyNavigation(false); // Tab goes on to the next control, as everywhere
    grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    grid->setSelectionMode(QAbstractItemView::SingleSelection);
    grid->verticalHeader()->setVisible(false);
    grid->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    grid->horizontalHeader()->setStretchLastSection(true);
    return grid;
}

void setRow(QTableWidget* grid, int row, const QStringList& cells) {
    for (int c = 0; c < cells.size(); ++c)
        grid->setItem(row, c, new QTableWidgetItem(cells[c]));
}

// A time of the outbox (seconds since 1970 UTC) in local time, as the node's log writes its times.
QString outboxTime(std::int64_t seconds) {
    return seconds > 0
               ? QDateTime::fromSecsSinceEpoch(seconds).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))
               : QString();
}

node::Outbox workingOutbox() {
    return node::Outbox(node::nodeFolder(workingFolderPath()));
}

} // namespace

ReceivedImagesWindow::ReceivedImagesWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("Form12"));
    setWindowTitle(QCoreApplication::translate("ReceivedImagesWindow", "TAMSO 受信画像"));
    setAccessibleName(windowTitle());
    setAccessibleDescription(objectName());
    setFixedSize(twips(12600), twips(10440));

    addLabel(this, QStringLiteral("Label1"),
             QCoreApplication::translate("ReceivedImagesWindow", "保留中の画像（記録されていません）"), 240,
             180, 8000);
    grid1_ = table(this, "Grid1", QCoreApplication::translate("ReceivedImagesWindow", "保留中の画像"),
                   {QCoreApplication::translate("ReceivedImagesWindow", "受信時刻"),
                    QCoreApplication::translate("ReceivedImagesWindow", "患者ID"),
                    QCoreApplication::translate("ReceivedImagesWindow", "氏名"),
                    QCoreApplication::translate("ReceivedImagesWindow", "撮影日"),
                    QCoreApplication::translate("ReceivedImagesWindow", "撮影部位"),
                    QCoreApplication::translate("ReceivedImagesWindow", "保留の理由")});
    placeTwips(grid1_, 240, 480, 12120, 2400);
    command1_ =
        new QPushButton(QCoreApplication::translate("ReceivedImagesWindow", "条件入力画面で開く"), this);
    nameControl(command1_, QStringLiteral("Command1"),
                QCoreApplication::translate("ReceivedImagesWindow", "条件入力画面で開く"));
    placeTwips(command1_, 240, 3000, 2760, 435);
    command1_->setEnabled(false);

    addLabel(this, QStringLiteral("Label2"),
             QCoreApplication::translate("ReceivedImagesWindow", "最近受信した画像"), 240, 3600, 8000);
    grid2_ = table(this, "Grid2", QCoreApplication::translate("ReceivedImagesWindow", "最近受信した画像"),
                   {QCoreApplication::translate("ReceivedImagesWindow", "受信時刻"),
                    QCoreApplication::translate("ReceivedImagesWindow", "患者ID"),
                    QCoreApplication::translate("ReceivedImagesWindow", "氏名"),
                    QCoreApplication::translate("ReceivedImagesWindow", "撮影日"),
                    QCoreApplication::translate("ReceivedImagesWindow", "撮影部位"),
                    QCoreApplication::translate("ReceivedImagesWindow", "入射表面線量 (mGy)"),
                    QCoreApplication::translate("ReceivedImagesWindow", "記録番号"),
                    QCoreApplication::translate("ReceivedImagesWindow", "結果")});
    placeTwips(grid2_, 240, 3900, 12120, 2520);

    addLabel(this, QStringLiteral("Label4"),
             QCoreApplication::translate("ReceivedImagesWindow", "送信待ちの線量レポート"), 240, 6600, 8000);
    grid3_ =
        table(this, "Grid3", QCoreApplication::translate("ReceivedImagesWindow", "送信待ちの線量レポート"),
              {QCoreApplication::translate("ReceivedImagesWindow", "レポート"),
               QCoreApplication::translate("ReceivedImagesWindow", "送信先"),
               QCoreApplication::translate("ReceivedImagesWindow", "作成時刻"),
               QCoreApplication::translate("ReceivedImagesWindow", "失敗回数"),
               QCoreApplication::translate("ReceivedImagesWindow", "次の送信"),
               QCoreApplication::translate("ReceivedImagesWindow", "前回のエラー")});
    grid3_->setWordWrap(false); // one line a report; a long error is elided, its tooltip has it all
    placeTwips(grid3_, 240, 6900, 12120, 2160);
    command4_ = new QPushButton(QCoreApplication::translate("ReceivedImagesWindow", "今すぐ送信"), this);
    nameControl(command4_, QStringLiteral("Command4"),
                QCoreApplication::translate("ReceivedImagesWindow", "今すぐ送信"));
    placeTwips(command4_, 240, 9180, 2760, 435);
    command4_->setEnabled(false);
    label5_ = addLabel(this, QStringLiteral("Label5"), QString(), 3240, 9240, 9120);

    label3_ = addLabel(this, QStringLiteral("Label3"), QString(), 240, 9840, 8400);
    auto* refresh = new QPushButton(QCoreApplication::translate("ReceivedImagesWindow", "更新"), this);
    nameControl(refresh, QStringLiteral("Command2"),
                QCoreApplication::translate("ReceivedImagesWindow", "更新"));
    placeTwips(refresh, 9000, 9780, 1560, 435);
    auto* close = new QPushButton(QCoreApplication::translate("ReceivedImagesWindow", "閉じる"), this);
    nameControl(close, QStringLiteral("Command3"),
                QCoreApplication::translate("ReceivedImagesWindow", "閉じる"));
    placeTwips(close, 10800, 9780, 1560, 435);

    connect(grid1_, &QTableWidget::itemSelectionChanged, this,
            [this] { command1_->setEnabled(!grid1_->selectedItems().isEmpty()); });
    // A double click or Enter on a held image opens it, as the command does.
    connect(grid1_, &QTableWidget::activated, this, [this] { openChosenImage(); });
    connect(command1_, &QPushButton::clicked, this, &ReceivedImagesWindow::openChosenImage);
    connect(command4_, &QPushButton::clicked, this, &ReceivedImagesWindow::sendReportsNow);
    connect(refresh, &QPushButton::clicked, this, [this] { (void)this->refresh(); });
    connect(close, &QPushButton::clicked, this, &QWidget::hide);
    closeOnEscape(this, close);
}

void ReceivedImagesWindow::open() {
    (void)refresh();
    show();
    raise();
    activateWindow();
}

Status ReceivedImagesWindow::refresh() {
    (void)refreshReports();
    auto listed = node::listReceivedImages(workingFolderPath());
    if (!listed.ok()) {
        held_.clear();
        recent_.clear();
        fillTables();
        label3_->setText(QCoreApplication::translate("ReceivedImagesWindow", "受信画像の記録を読めません: ") +
                         coreText(listed.error().message));
        return listed.error();
    }
    held_ = std::move(listed->held);
    recent_ = std::move(listed->recent);
    fillTables();
    label3_->setText(held_.empty()
                         ? QCoreApplication::translate("ReceivedImagesWindow", "保留中の画像はありません。")
                         : QCoreApplication::translate("ReceivedImagesWindow", "保留中の画像: %1 件")
                               .arg(static_cast<int>(held_.size())));
    return {};
}

void ReceivedImagesWindow::fillTables() {
    grid1_->setRowCount(static_cast<int>(held_.size()));
    for (size_t i = 0; i < held_.size(); ++i) {
        const node::ImageEntry& e = held_[i];
        setRow(grid1_, static_cast<int>(i),
               {qs(e.time), qs(e.patientId), qs(e.patientName), qs(e.examDate), qs(e.bodyPart),
                coreText(e.reason)});
    }
    grid2_->setRowCount(static_cast<int>(recent_.size()));
    for (size_t i = 0; i < recent_.size(); ++i) {
        const node::ImageEntry& e = recent_[i];
        setRow(grid2_, static_cast<int>(i),
               {qs(e.time), qs(e.patientId), qs(e.patientName), qs(e.examDate), qs(e.bodyPart), qs(e.doseMGy),
                e.recordNumber > 0 ? QString::number(e.recordNumber) : QString(), outcomeText(e.outcome)});
    }
    command1_->setEnabled(!grid1_->selectedItems().isEmpty());
}

Status ReceivedImagesWindow::refreshReports() {
    auto waiting = workingOutbox().waiting();
    waiting_ = waiting.ok() ? std::move(*waiting) : std::vector<node::OutboxEntry>();
    grid3_->setRowCount(static_cast<int>(waiting_.size()));
    for (size_t i = 0; i < waiting_.size(); ++i) {
        const node::OutboxEntry& e = waiting_[i];
        setRow(grid3_, static_cast<int>(i),
               {qs(e.label), qs(e.destination), outboxTime(e.queued), QString::number(e.attempts),
                outboxTime(e.nextAttempt), coreText(e.lastError)});
        grid3_->item(static_cast<int>(i), 5)->setToolTip(coreText(e.lastError)); // the whole of it
    }
    command4_->setEnabled(!waiting_.empty());
    if (!waiting.ok()) {
        label5_->setText(
            QCoreApplication::translate("ReceivedImagesWindow", "送信待ちの線量レポートを読めません: ") +
            coreText(waiting.error().message));
        return waiting.error();
    }
    label5_->setText(
        waiting_.empty()
            ? QCoreApplication::translate("ReceivedImagesWindow", "送信待ちの線量レポートはありません。")
            : QCoreApplication::translate("ReceivedImagesWindow", "送信待ちの線量レポート: %1 件")
                  .arg(static_cast<int>(waiting_.size())));
    return {};
}

void ReceivedImagesWindow::sendReportsNow() {
    // A sending round at work holds the outbox: the screen does not wait for it.
    if (const Status status = workingOutbox().retryNow(node::Clock::now(), std::chrono::milliseconds(500));
        !status.ok())
        MessageBox::warning(this, coreText(status.message()));
    else
        emit sendReportsRequested();
    (void)refreshReports();
}

void ReceivedImagesWindow::openChosenImage() {
    const int row = grid1_->currentRow();
    if (row < 0 || row >= static_cast<int>(held_.size()))
        return;
    const node::ImageEntry& e = held_[static_cast<size_t>(row)];
    emit heldImageChosen(QString::fromStdString(node::heldHeaderFile(workingFolderPath(), e).u8string()),
                         qs(e.sopInstanceUid));
}

} // namespace tamso::ui
