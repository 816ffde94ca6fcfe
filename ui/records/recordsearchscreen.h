#pragma once
// The record search screen (Form5): lists the patient record files ("*.pat") of the working
// folder, lists the records of a chosen file and shows one of them on the report screen.
// Also the screen side of the record file: the Data Save flow with its message boxes and the
// patient name look-up, both registered as navigation hooks.

#include "records/patientrecordfile.h"

#include <QString>
#include <QWidget>
#include <optional>

class QLabel;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QPushButton;

namespace tamso::ui {
struct ReportFields;
}

namespace tamso::records {

class RecordSearchScreen : public QWidget {
    Q_OBJECT
public:
    explicit RecordSearchScreen(QWidget* parent = nullptr);

    // The opening state: ID and name empty, both OK commands disabled, the file list re-read,
    // the record list empty.
    void resetForOpening();
    // Re-reads the "*.pat" files of the working folder, sorted by name.
    void refreshFileList();

    // The report fields of a listed record (1-based), as the show command hands them over.
    static ui::ReportFields reportFieldsFor(const PatientRecordState& listed, int recordNumber,
                                            const QString& id);
    // The record list's row of a record: "07 : date - body part - dose mGy".
    static QString recordRow(const PatientRecord& record, int recordNumber);

private:
    void fileChosen(QListWidgetItem* item);
    void listRecords();
    void showChosenRecord();
    void clearRecordList();

    QListWidget* file1_ = nullptr;
    QLineEdit* text1_ = nullptr;
    QLineEdit* text2_ = nullptr;
    QPushButton* command1_ = nullptr;
    QPushButton* command2_ = nullptr;
    QPushButton* command3_ = nullptr;
    QListWidget* list1_ = nullptr;

    bool refreshing_ = false;
    std::filesystem::path chosenFile_;
    QString chosenId_;
    // The records of the file listed last, kept with the screen so that the shown record always
    // belongs to the listed file, whatever else reads or saves record files meanwhile.
    std::optional<PatientRecordState> listed_;
    QString listedId_;
};

// The search screen if it exists (created by openRecordSearch), for tests and the shell.
RecordSearchScreen* recordSearchScreen();

// Sets Navigation::saveRecord, lookUpPatientName and openRecordSearch.
void registerRecordScreens();

} // namespace tamso::records
