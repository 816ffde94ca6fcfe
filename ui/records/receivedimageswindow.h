#pragma once
// The window "受信画像" (the start screen's command of that name): what the DICOM node did with the
// images it received. Above, the images it held, each with the reason it could not record it; one
// of them opens on the exposure-condition screen through the DICOM import, and once its record is
// saved through the report it leaves the list; under the list the chosen image's reason whole and
// what to do next; an image sent by mistake is set aside with who and why. Below, the latest images it
// recorded (or listed: derived copies and images sent again), with their doses. Read from the node's log in
// the working folder, so it shows what a node running as a service did. At the bottom, the dose reports
// waiting in the outbox for their destinations, with the command to send them now.

#include "node/imagelog.h"
#include "node/outbox.h"
#include "node/storesender.h"
#include "textio/expected.h"

#include <QWidget>

#include <vector>

class QLabel;
class QPushButton;
class QTableWidget;

namespace tamso::ui {

class ReceivedImagesWindow : public QWidget {
    Q_OBJECT
public:
    explicit ReceivedImagesWindow(QWidget* parent = nullptr);

    // Reads the lists again and shows the window.
    void open();
    // Reads the lists again (Command2 "更新"); a log that cannot be read is said in Label3.
    Status refresh();
    // Reads the outbox's waiting reports again; an outbox that cannot be read is said in Label5.
    Status refreshReports();

    const std::vector<node::ImageEntry>& heldImages() const { return held_; }
    const std::vector<node::ImageEntry>& recentImages() const { return recent_; }
    QTableWidget* heldTable() const { return grid1_; }
    QTableWidget* recentTable() const { return grid2_; }
    const std::vector<node::OutboxEntry>& waitingReports() const { return waiting_; }
    QTableWidget* reportTable() const { return grid3_; }

    // Command1 "条件入力画面で開く" (or a double click): the chosen held image goes to the
    // exposure-condition screen.
    void openChosenImage();
    // Command5 "取り除く": asks who sets the chosen held image aside and why, then sets it aside.
    void askToSetAsideChosenImage();
    // Sets the chosen held image aside; a refusal (no name, no reason, no longer held) is said in a
    // message box and returned.
    Status setAsideChosenImage(const QString& who, const QString& why);
    // The chosen held image's reason whole (Label6) and what to do next (Label7).
    QString heldDetailText() const;
    QString nextStepText() const;

    // Command4 "今すぐ送信": tries every waiting report at once in a thread of its own (the automatic
    // tries keep their times) and says in Label5 what happened: sent n, failed n with the errors.
    void sendReportsNow();
    // The sender "今すぐ送信" uses; by default the working folder's report settings' (storeSender).
    void setReportSender(node::ReportSender send) { reportSender_ = std::move(send); }
    bool sending() const { return sending_; }
    QString reportStatusText() const;

signals:
    // A held image is to be opened on the exposure-condition screen: its header file and its SOP
    // Instance UID (which the record saved through the report then resolves).
    void heldImageChosen(const QString& headerFile, const QString& sopInstanceUid);
    // The waiting reports were made due: the sender is to go through them.
    void sendReportsRequested();

private:
    void buildHeldImages();
    void buildRecentImages();
    void buildPendingReports();
    void fillTables();
    void showChosenHeldImage();
    void showSendRound(const Expected<node::SendRound>& round);

    QTableWidget* grid1_ = nullptr;
    QTableWidget* grid2_ = nullptr;
    QTableWidget* grid3_ = nullptr;
    QLabel* label3_ = nullptr;
    QLabel* label5_ = nullptr;
    QPushButton* command1_ = nullptr;
    QPushButton* command4_ = nullptr;
    QPushButton* command5_ = nullptr;
    QLabel* label6_ = nullptr;
    QLabel* label7_ = nullptr;
    node::ReportSender reportSender_;
    bool sending_ = false;
    std::vector<node::ImageEntry> held_;
    std::vector<node::ImageEntry> recent_;
    std::vector<node::OutboxEntry> waiting_;
};

} // namespace tamso::ui
