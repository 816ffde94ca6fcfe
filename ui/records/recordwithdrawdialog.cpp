#include "ui/records/recordwithdrawdialog.h"

#include "ui/kit/messagebox.h"
#include "ui/kit/uiutil.h"
#include "ui/records/whowhyform.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace tamso::ui {

RecordWithdrawDialog::RecordWithdrawDialog(const QString& recordText, const QStringList& technologists,
                                           QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("WithdrawDialog"));
    setWindowTitle(MessageBox::title());
    setAccessibleName(QCoreApplication::translate("RecordWithdrawDialog", "記録を取り消す"));
    setAccessibleDescription(objectName());

    // A mistyped dose may run to many digits: the label shows its start, the tool tip all of it.
    const QString shown = recordText.size() > 72 ? recordText.left(71) + QChar(0x2026) : recordText;
    auto* record =
        new QLabel(QCoreApplication::translate("RecordWithdrawDialog", "取り消す記録: %1").arg(shown), this);
    record->setToolTip(recordText);
    nameControl(record, QStringLiteral("Label1"),
                QCoreApplication::translate("RecordWithdrawDialog", "取り消す記録"));
    auto* explanation =
        new QLabel(QCoreApplication::translate("RecordWithdrawDialog",
                                               "取り消した記録は線量履歴、累積線量、撮影回数、監査に数えなく"
                                               "なります。記録ファイルは変わりません。"),
                   this);
    explanation->setWordWrap(true);
    nameControl(explanation, QStringLiteral("Label2"),
                QCoreApplication::translate("RecordWithdrawDialog", "取り消しの説明"));

    combo1_ = new QComboBox(this);
    combo1_->setEditable(true);
    combo1_->setInsertPolicy(QComboBox::NoInsert);
    combo1_->addItems(technologists);
    combo1_->setCurrentIndex(-1);
    combo1_->setEditText(QString());
    nameControl(combo1_, QStringLiteral("Combo1"),
                QCoreApplication::translate("RecordWithdrawDialog", "取り消す人"));
    text1_ = new QLineEdit(this);
    text1_->setMaxLength(200);
    nameControl(text1_, QStringLiteral("Text1"),
                QCoreApplication::translate("RecordWithdrawDialog", "取り消しの理由"));

    QPushButton* ok = layOutWhoAndWhy(
        this, record, explanation, QCoreApplication::translate("RecordWithdrawDialog", "取り消す人"), combo1_,
        QCoreApplication::translate("RecordWithdrawDialog", "取り消しの理由"), text1_,
        QCoreApplication::translate("RecordWithdrawDialog", "取り消す"),
        QCoreApplication::translate("RecordWithdrawDialog", "キャンセル"));
    ok->setDefault(false);
    ok->setAutoDefault(false);
}

QString RecordWithdrawDialog::withdrawnBy() const {
    return combo1_->currentText().trimmed();
}

QString RecordWithdrawDialog::reason() const {
    return text1_->text().trimmed();
}

void RecordWithdrawDialog::accept() {
    if (filledInOrSaid(this, withdrawnBy(), combo1_,
                       QCoreApplication::translate("RecordWithdrawDialog", "取り消す人の名前を入力して下さい。")) &&
        filledInOrSaid(this, reason(), text1_,
                       QCoreApplication::translate("RecordWithdrawDialog", "取り消しの理由を入力して下さい。")))
        QDialog::accept();
}

} // namespace tamso::ui
