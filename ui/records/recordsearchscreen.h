#pragma once
// The record search screen (Form5): lists the patients of the working folder by their record files
// ("*.pat"; an infant's continuation files are not listed apart from its first file), lists all
// records of a chosen infant across its files, numbered 1..N, hands one of them on to the report
// screen, asks for the infant's dose history, and withdraws a wrong record (records/
// recordwithdrawal.h): withdrawn records stay listed, marked "（取消）" and struck through.

#include "records/patienthistory.h"
#include "records/patientrecordfile.h"
#include "records/recordwithdrawal.h"
#include "ui/report/reportfields.h"

#include <QString>
#include <QWidget>
#include <optional>

class QLabel;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QPushButton;

namespace tamso::ui {

class RecordSearchScreen : public QWidget {
    Q_OBJECT
public:
    explicit RecordSearchScreen(QWidget* parent = nullptr);

    // The role of a patient entry that holds the name of its record file ("N-0001.pat"); the entry
    // shows the ID and the name the file begins with ("N-0001　山田 花子").
    static constexpr int kFileNameRole = Qt::UserRole;

    // The opening state: ID and name empty, both OK commands disabled, the file list re-read,
    // the record list empty.
    void resetForOpening();
    // Re-reads the "*.pat" files of the working folder, sorted by name: each first file, and a
    // continuation file only when its first file is missing (then as a file of its own).
    void refreshFileList();

    // The report fields of a listed record (1-based across the infant's files), as the show
    // command hands them over.
    static ReportFields reportFieldsFor(const records::PatientHistory& listed, int recordNumber,
                                        const QString& id);
    // The record list's row of a record: "07 : date - body part - dose mGy" (three digits from 100).
    static QString recordRow(const records::PatientRecord& record, int recordNumber);
    // The same in the four columns the list draws under its headings: number, date, body part, dose.
    static QStringList recordColumns(const records::PatientRecord& record, int recordNumber);
    // The mark after a withdrawn record's row and dose: "（取消）".
    static QString withdrawnMark();
    // Where the list draws column 0..3 of its rows, in the coordinates of the list's viewport: from
    // the left of its heading to the left of the next one (the last to the end of the list).
    QRect recordColumn(int column) const;

signals:
    // The show command: the chosen record of the listed infant, for the report screen.
    void recordChosen(const tamso::ui::ReportFields& fields);
    // The dose history command: the ID of the chosen file.
    void doseHistoryRequested(const QString& patientId);

private:
    void buildPatientChoice();
    void buildRecordList();
    void connectControls();
    void fileChosen(QListWidgetItem* item);
    void listRecords();
    void chooseTypedId(); // the file of the ID typed in the ID field
    void showChosenRecord();
    void withdrawChosenRecord();
    void clearRecordList();
    // The number of the chosen record of the listing, or 0 (after saying so) when none is chosen.
    int chosenRecordNumber();

    QListWidget* file1_ = nullptr;
    QLineEdit* text1_ = nullptr;
    QLineEdit* text2_ = nullptr;
    QPushButton* command1_ = nullptr;
    QPushButton* command2_ = nullptr;
    QPushButton* command3_ = nullptr;
    QPushButton* command4_ = nullptr;
    QPushButton* command5_ = nullptr; // withdraws the chosen record
    QListWidget* list1_ = nullptr;
    QLabel* headings_[4] = {}; // "No.", "撮影年月日", "撮影部位", "入射表面線量"

    bool refreshing_ = false;
    std::filesystem::path chosenFile_;
    QString chosenId_;
    // The records of the infant listed last, kept with the screen so that the shown record always
    // belongs to the listed infant, whatever else reads or saves record files meanwhile.
    std::optional<records::PatientHistory> listed_;
    records::WithdrawnRecords listedWithdrawals_; // the withdrawn records among them
    QString listedId_;
};

} // namespace tamso::ui
