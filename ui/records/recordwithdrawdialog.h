#pragma once
// The dialog of the record search's withdraw command: who withdraws the record (the technologist
// list offered, any name typed) and why. OK accepts only with both filled in; the record itself
// is named above them.

#include <QDialog>
#include <QString>
#include <QStringList>

class QComboBox;
class QLineEdit;

namespace tamso::ui {

class RecordWithdrawDialog : public QDialog {
    Q_OBJECT
public:
    RecordWithdrawDialog(const QString& recordText, const QStringList& technologists,
                         QWidget* parent = nullptr);

    QString withdrawnBy() const; // without surrounding blanks
    QString reason() const;

    void accept() override; // refuses, with a message, an empty name or reason

private:
    QComboBox* combo1_ = nullptr;
    QLineEdit* text1_ = nullptr;
};

} // namespace tamso::ui
