#include "ui/records/receivedimageswindow.h"

#include "node/dosereporter.h"
#include "node/nodeconfig.h"
#include "node/nodefolders.h"
#include "ui/kit/messagebox.h"
#include "ui/kit/uiutil.h"
#include "ui/records/receivedimagetexts.h"
#include "ui/records/setasidedialog.h"

#include <QCoreApplication>
#include <QHeaderView>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTableWidget>
#include <QThread>

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
    case node::Outcome::SetAside:
        return QCoreApplication::translate("ReceivedImagesWindow", "取り除き（記録しない）");
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
    grid->setTabKeyNavigation(false); // Tab goes on to the commands; the arrows move in the table
    return grid;
}

void setRow(QTableWidget* grid, int row, const QStringList& cells) {
    for (int c = 0; c < cells.size(); ++c)
        grid->setItem(row, c, new QTableWidgetItem(cells[c]));
}

QPushButton* addButton(QWidget* parent, const char* name, const QString& caption, const QString& accessibleName) {
    auto* button = new QPushButton(caption, parent);
    nameControl(button, QString::fromLatin1(name), accessibleName);
    return button;
}

QLabel* detailLabel(QWidget* parent, const char* name, const QString& caption) {
    auto* label = new QLabel(parent);
    nameControl(label, QString::fromLatin1(name), caption);
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    label->setFocusPolicy(Qt::TabFocus); // read with the keyboard too
    return label;
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
    setFixedSize(twips(12600), twips(11640));
    buildHeldImages();
    buildRecentImages();
    buildPendingReports();

    label3_ = addLabel(this, QStringLiteral("Label3"), QString(), 240, 11040, 8400);
    auto* refresh = addButton(this, "Command2", QCoreApplication::translate("ReceivedImagesWindow", "更新"),
                              QCoreApplication::translate("ReceivedImagesWindow", "更新"));
    placeTwips(refresh, 9000, 10980, 1560, 435);
    auto* close = addButton(this, "Command3", QCoreApplication::translate("ReceivedImagesWindow", "閉じる"),
                            QCoreApplication::translate("ReceivedImagesWindow", "閉じる"));
    placeTwips(close, 10800, 10980, 1560, 435);

    connect(grid1_, &QTableWidget::itemSelectionChanged, this, &ReceivedImagesWindow::showChosenHeldImage);
    connect(command5_, &QPushButton::clicked, this, &ReceivedImagesWindow::askToSetAsideChosenImage);
    // A double click or Enter on a held image opens it, as the command does.
    connect(grid1_, &QTableWidget::activated, this, [this] { openChosenImage(); });
    connect(command1_, &QPushButton::clicked, this, &ReceivedImagesWindow::openChosenImage);
    connect(command4_, &QPushButton::clicked, this, &ReceivedImagesWindow::sendReportsNow);
    connect(refresh, &QPushButton::clicked, this, [this] { (void)this->refresh(); });
    connect(close, &QPushButton::clicked, this, &QWidget::hide);
    closeOnEscape(this, close);
}

// The held images, the chosen one's reason and next step, and what to do with it.
void ReceivedImagesWindow::buildHeldImages() {
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
    command1_ = addButton(this, "Command1",
                          QCoreApplication::translate("ReceivedImagesWindow", "条件入力画面で開く"),
                          QCoreApplication::translate("ReceivedImagesWindow", "条件入力画面で開く"));
    label6_ = detailLabel(this, "Label6",
                          QCoreApplication::translate("ReceivedImagesWindow", "選んだ画像の保留の理由"));
    placeTwips(label6_, 240, 2940, 12120, 900);
    label7_ =
        detailLabel(this, "Label7", QCoreApplication::translate("ReceivedImagesWindow", "次にすること"));
    placeTwips(label7_, 240, 3840, 12120, 480);
    placeTwips(command1_, 240, 4380, 2760, 435);
    command1_->setEnabled(false);
    command5_ = addButton(this, "Command5", QCoreApplication::translate("ReceivedImagesWindow", "取り除く..."),
                          QCoreApplication::translate("ReceivedImagesWindow", "選んだ画像を理由を付けて取り除く"));
    placeTwips(command5_, 3240, 4380, 2760, 435);
    command5_->setEnabled(false);
    // From the list, the chosen image's reason and next step, then what to do with it.
    setTabOrder(grid1_, label6_);
    setTabOrder(label6_, label7_);
    setTabOrder(label7_, command1_);
    setTabOrder(command1_, command5_);
}

void ReceivedImagesWindow::buildRecentImages() {
    addLabel(this, QStringLiteral("Label2"),
             QCoreApplication::translate("ReceivedImagesWindow", "最近受信した画像"), 240, 4920, 8000);
    grid2_ = table(this, "Grid2", QCoreApplication::translate("ReceivedImagesWindow", "最近受信した画像"),
                   {QCoreApplication::translate("ReceivedImagesWindow", "受信時刻"),
                    QCoreApplication::translate("ReceivedImagesWindow", "患者ID"),
                    QCoreApplication::translate("ReceivedImagesWindow", "氏名"),
                    QCoreApplication::translate("ReceivedImagesWindow", "撮影日"),
                    QCoreApplication::translate("ReceivedImagesWindow", "撮影部位"),
                    QCoreApplication::translate("ReceivedImagesWindow", "入射表面線量 (mGy)"),
                    QCoreApplication::translate("ReceivedImagesWindow", "記録番号"),
                    QCoreApplication::translate("ReceivedImagesWindow", "結果")});
    placeTwips(grid2_, 240, 5220, 12120, 2280);
}

// The dose reports waiting to be sent, and the command sending them now.
void ReceivedImagesWindow::buildPendingReports() {
    addLabel(this, QStringLiteral("Label4"),
             QCoreApplication::translate("ReceivedImagesWindow", "送信待ちの線量レポート"), 240, 7680, 8000);
    grid3_ =
        table(this, "Grid3", QCoreApplication::translate("ReceivedImagesWindow", "送信待ちの線量レポート"),
              {QCoreApplication::translate("ReceivedImagesWindow", "レポート"),
               QCoreApplication::translate("ReceivedImagesWindow", "送信先"),
               QCoreApplication::translate("ReceivedImagesWindow", "作成時刻"),
               QCoreApplication::translate("ReceivedImagesWindow", "失敗回数"),
               QCoreApplication::translate("ReceivedImagesWindow", "次の送信"),
               QCoreApplication::translate("ReceivedImagesWindow", "前回のエラー")});
    grid3_->setWordWrap(false); // one line a report; a long error is elided, its tooltip has it all
    placeTwips(grid3_, 240, 7980, 12120, 2280);
    command4_ = addButton(this, "Command4", QCoreApplication::translate("ReceivedImagesWindow", "今すぐ送信"),
                          QCoreApplication::translate("ReceivedImagesWindow", "今すぐ送信"));
    placeTwips(command4_, 240, 10380, 2760, 435);
    command4_->setEnabled(false);
    label5_ = addLabel(this, QStringLiteral("Label5"), QString(), 3240, 10440, 9120);
}

void ReceivedImagesWindow::open() {
    ignoreFailure(refresh(), "the window's labels say why");
    show();
    raise();
    activateWindow();
}

Status ReceivedImagesWindow::refresh() {
    ignoreFailure(refreshReports(), "the window's label says why");
    auto listed = node::listReceivedImages(workingFolderPath());
    if (!listed.ok()) {
        held_.clear();
        recent_.clear();
        fillTables();
        label3_->setText(QCoreApplication::translate("ReceivedImagesWindow", "受信画像の記録を読めません: ") +
                         coreText(listed.error()));
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
               {logTimeText(e.time), qs(e.patientId), qs(e.patientName), examDateText(e.examDate),
                qs(e.bodyPart), nodeText(e.reason)});
        grid1_->item(static_cast<int>(i), 5)->setToolTip(nodeText(e.reason));
    }
    grid2_->setRowCount(static_cast<int>(recent_.size()));
    for (size_t i = 0; i < recent_.size(); ++i) {
        const node::ImageEntry& e = recent_[i];
        setRow(grid2_, static_cast<int>(i),
               {logTimeText(e.time), qs(e.patientId), qs(e.patientName), examDateText(e.examDate),
                qs(e.bodyPart), qs(e.doseMGy),
                e.recordNumber > 0 ? QString::number(e.recordNumber) : QString(), outcomeText(e.outcome)});
        grid2_->item(static_cast<int>(i), 7)->setToolTip(nodeText(e.reason)); // who set it aside and why, ...
    }
    showChosenHeldImage();
}

Status ReceivedImagesWindow::refreshReports() {
    auto waiting = workingOutbox().waiting();
    waiting_ = waiting.ok() ? std::move(*waiting) : std::vector<node::OutboxEntry>();
    grid3_->setRowCount(static_cast<int>(waiting_.size()));
    for (size_t i = 0; i < waiting_.size(); ++i) {
        const node::OutboxEntry& e = waiting_[i];
        setRow(grid3_, static_cast<int>(i),
               {qs(e.label), qs(e.destination), outboxTimeText(e.queued), QString::number(e.attempts),
                outboxTimeText(e.nextAttempt), nodeText(e.lastError)});
        grid3_->item(static_cast<int>(i), 5)->setToolTip(nodeText(e.lastError)); // the whole of it
    }
    command4_->setEnabled(!waiting_.empty() && !sending_);
    if (sending_)
        return {}; // Label5 says that the reports are being sent
    if (!waiting.ok()) {
        label5_->setText(
            QCoreApplication::translate("ReceivedImagesWindow", "送信待ちの線量レポートを読めません: ") +
            coreText(waiting.error()));
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
    if (sending_)
        return;
    node::ReportSender send = reportSender_;
    if (!send) {
        auto settings = node::readReportSettings(workingFolderPath());
        if (!settings.ok() || settings->forward.empty()) {
            MessageBox::warning(this, settings.ok()
                                          ? QCoreApplication::translate("ReceivedImagesWindow",
                                                                        "線量レポートの送信先がありません"
                                                                        "（tamso-node.conf の forward）。")
                                          : coreText(settings.error()));
            return;
        }
        send = node::storeSender(settings->aeTitle, std::chrono::seconds(5), std::chrono::seconds(15));
    }
    sending_ = true;
    command4_->setEnabled(false);
    label5_->setText(QCoreApplication::translate("ReceivedImagesWindow", "線量レポートを送信しています..."));
    // The network may keep it waiting: the round runs beside the screens; its end is shown here.
    QThread* thread = QThread::create([folder = workingFolderPath(), send, window = QPointer(this)] {
        node::Outbox outbox(node::nodeFolder(folder));
        const Expected<node::SendRound> round = outbox.sendDue(send, node::Clock::now(), true);
        QMetaObject::invokeMethod(
            qApp,
            [window, round] {
                if (window)
                    window->showSendRound(round);
            },
            Qt::QueuedConnection);
    });
    connect(thread, &QThread::finished, thread, &QObject::deleteLater);
    thread->start();
}

void ReceivedImagesWindow::showSendRound(const Expected<node::SendRound>& round) {
    sending_ = false;
    ignoreFailure(refreshReports(), "the window's label says why");
    QString text;
    if (!round.ok()) {
        text = QCoreApplication::translate("ReceivedImagesWindow", "送信できませんでした: ") +
               nodeText(round.error().message());
    } else if (round->busy) {
        text = QCoreApplication::translate(
            "ReceivedImagesWindow", "別の送信が進行中です。終わり次第、送信待ちのレポートも送られます。");
    } else {
        text = QCoreApplication::translate("ReceivedImagesWindow", "今すぐ送信: 送信 %1 件、失敗 %2 件")
                   .arg(round->acknowledged)
                   .arg(round->failed);
        QStringList errors;
        for (const std::string& message : round->messages)
            errors << nodeText(message);
        if (!errors.isEmpty())
            text +=
                QCoreApplication::translate("ReceivedImagesWindow", "（%1）。失敗したレポートは次の自動送信"
                                                                    "の時刻に送り直します。")
                    .arg(errors.join(QStringLiteral(" / ")));
    }
    label5_->setText(text);
    label5_->setToolTip(text);
    emit sendReportsRequested();
}

QString ReceivedImagesWindow::reportStatusText() const {
    return label5_->text();
}

void ReceivedImagesWindow::showChosenHeldImage() {
    const int row = grid1_->selectedItems().isEmpty() ? -1 : grid1_->currentRow();
    const bool chosen = row >= 0 && row < static_cast<int>(held_.size());
    command1_->setEnabled(chosen);
    command5_->setEnabled(chosen);
    if (!chosen) {
        label6_->setText(
            held_.empty() ? QString()
                          : QCoreApplication::translate("ReceivedImagesWindow",
                                                        "一覧から画像を選ぶと、保留の理由とすることをここに"
                                                        "示します。"));
        label7_->clear();
        return;
    }
    const node::ImageEntry& e = held_[static_cast<size_t>(row)];
    label6_->setText(QCoreApplication::translate("ReceivedImagesWindow", "保留の理由: ") +
                     nodeText(e.reason));
    label7_->setText(tamso::ui::nextStepText(e.reason));
}

QString ReceivedImagesWindow::heldDetailText() const {
    return label6_->text();
}

QString ReceivedImagesWindow::nextStepText() const {
    return label7_->text();
}

void ReceivedImagesWindow::askToSetAsideChosenImage() {
    const int row = grid1_->currentRow();
    if (row < 0 || row >= static_cast<int>(held_.size()))
        return;
    const node::ImageEntry& e = held_[static_cast<size_t>(row)];
    SetAsideDialog dialog(
        QStringLiteral("%1 %2 %3 %4")
            .arg(qs(e.patientId), qs(e.patientName), examDateText(e.examDate), qs(e.bodyPart)),
        this);
    if (dialog.exec() == QDialog::Accepted)
        ignoreFailure(setAsideChosenImage(dialog.setAsideBy(), dialog.reason()), "a failure was shown to the user");
}

Status ReceivedImagesWindow::setAsideChosenImage(const QString& who, const QString& why) {
    const int row = grid1_->currentRow();
    if (row < 0 || row >= static_cast<int>(held_.size()))
        return {};
    const Status status = node::setAsideHeldImage(
        workingFolderPath(), held_[static_cast<size_t>(row)].sopInstanceUid, utf8(who), utf8(why));
    if (!status.ok())
        MessageBox::warning(this, coreText(status.error()));
    ignoreFailure(refresh(), "the window's labels say why");
    return status;
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
