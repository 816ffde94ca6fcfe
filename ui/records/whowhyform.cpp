#include "ui/records/whowhyform.h"

#include "ui/kit/messagebox.h"
#include "ui/kit/uiutil.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace tamso::ui {

QPushButton* layOutWhoAndWhy(QDialog* dialog, QLabel* item, QLabel* explanation, const QString& whoCaption,
                             QWidget* who, const QString& reasonCaption, QWidget* reason, const QString& okText,
                             const QString& cancelText) {
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, dialog);
    QPushButton* ok = buttons->button(QDialogButtonBox::Ok);
    ok->setText(okText);
    nameControl(ok, QStringLiteral("Command1"), okText);
    QPushButton* cancel = buttons->button(QDialogButtonBox::Cancel);
    cancel->setText(cancelText);
    nameControl(cancel, QStringLiteral("Command2"), cancelText);

    auto* form = new QFormLayout;
    form->addRow(whoCaption, who);
    form->addRow(reasonCaption, reason);
    auto* layout = new QVBoxLayout(dialog);
    layout->addWidget(item);
    layout->addWidget(explanation);
    layout->addLayout(form);
    layout->addWidget(buttons);
    QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    dialog->setMinimumWidth(twips(7200));
    who->setFocus(Qt::OtherFocusReason);
    return ok;
}

bool filledInOrSaid(QDialog* dialog, const QString& text, QWidget* field, const QString& message) {
    if (!text.isEmpty())
        return true;
    MessageBox::warning(dialog, message);
    field->setFocus(Qt::OtherFocusReason);
    return false;
}

} // namespace tamso::ui
