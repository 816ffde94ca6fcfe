#pragma once
// The record search screen (Form5): lists the patient record files ("*.pat") of the working
// folder, lists the records of a chosen file and hands one of them on to the report screen.

#include "records/patientrecordfile.h"
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

    // The opening state: ID and name empty, both OK commands disabled, the file list re-read,
    // the record list empty.
    void resetForOpening();
    // Re-reads the "*.pat" files of the working folder, sorted by name.
    void refreshFileList();

    // The report fields of a listed record (1-based), as the show command hands them over.
    static ReportFields reportFieldsFor(const records::PatientRecordState& listed, int recordNumber,
                                            const QString& id);
    // The record list's row of a record: "07 : date - body part - dose mGy".
    static QString recordRow(const records::PatientRecord& record, int recordNumber);

signals:
    // The show command: the chosen record of the listed file, for the report screen.
    void recordChosen(const tamso::ui::ReportFields& fields);

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
    std::optional<records::PatientRecordState> listed_;
    QString listedId_;
};

} // namespace tamso::ui
