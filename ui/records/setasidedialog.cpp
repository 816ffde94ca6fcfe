#include "ui/records/setasidedialog.h"

#include "ui/kit/messagebox.h"
#include "ui/kit/uiutil.h"
#include "ui/records/whowhyform.h"

#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace tamso::ui {

namespace {
QString dialogText(const char* text) {
    return QCoreApplication::translate("SetAsideDialog", text);
}
} // namespace

SetAsideDialog::SetAsideDialog(const QString& imageText, QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("SetAsideDialog"));
    setWindowTitle(MessageBox::title());
    setAccessibleName(dialogText("保留中の画像を取り除く"));
    setAccessibleDescription(objectName());

    auto* image = new QLabel(dialogText("取り除く画像: %1").arg(imageText), this);
    image->setWordWrap(true);
    nameControl(image, QStringLiteral("Label1"), dialogText("取り除く画像"));
    auto* explanation =
        new QLabel(dialogText("取り除いた画像は記録されず、保留中の一覧から外れます。受信の記録には"
                              "取り除いた人と理由が残ります。"),
                   this);
    explanation->setWordWrap(true);
    nameControl(explanation, QStringLiteral("Label2"), dialogText("取り除きの説明"));

    text1_ = new QLineEdit(this);
    text1_->setMaxLength(100);
    nameControl(text1_, QStringLiteral("Text1"), dialogText("取り除く人"));
    text2_ = new QLineEdit(this);
    text2_->setMaxLength(200);
    nameControl(text2_, QStringLiteral("Text2"), dialogText("取り除く理由"));

    layOutWhoAndWhy(this, image, explanation, dialogText("取り除く人"), text1_, dialogText("取り除く理由"), text2_,
                    dialogText("取り除く"), dialogText("キャンセル"));
}

QString SetAsideDialog::setAsideBy() const {
    return text1_->text().trimmed();
}

QString SetAsideDialog::reason() const {
    return text2_->text().trimmed();
}

void SetAsideDialog::accept() {
    if (filledInOrSaid(this, setAsideBy(), text1_, dialogText("取り除く人の名前を入力して下さい。")) &&
        filledInOrSaid(this, reason(), text2_, dialogText("画像を取り除く理由を入力して下さい。")))
        QDialog::accept();
}

} // namespace tamso::ui
