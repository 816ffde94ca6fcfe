#pragma once
// The dialog of the received images' command "取り除く": who sets a held image aside and why (an
// image sent by mistake, of another patient, a test exposure). OK accepts only with both filled in;
// the image is named above them.

#include <QDialog>
#include <QString>

class QLineEdit;

namespace tamso::ui {

class SetAsideDialog : public QDialog {
    Q_OBJECT
public:
    explicit SetAsideDialog(const QString& imageText, QWidget* parent = nullptr);

    QString setAsideBy() const; // without surrounding blanks
    QString reason() const;

    void accept() override; // refuses, with a message, an empty name or reason

private:
    QLineEdit* text1_ = nullptr;
    QLineEdit* text2_ = nullptr;
};

} // namespace tamso::ui
