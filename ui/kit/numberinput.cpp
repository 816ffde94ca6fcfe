#include "ui/kit/numberinput.h"

#include "textio/numbertext.h"
#include "ui/kit/messagebox.h"
#include "ui/kit/uiutil.h"

#include <QCoreApplication>
#include <QLineEdit>

namespace tamso::ui {

QString asciiNumberText(const QString& text) {
    QString folded = text;
    for (QChar& c : folded) {
        const char16_t u = c.unicode();
        if (u >= 0xFF01 && u <= 0xFF5E)
            c = QChar(static_cast<char16_t>(u - 0xFF01 + 0x21));
        else if (u == 0x3000)
            c = QLatin1Char(' ');
        else if (u == 0x2212 || u == 0x30FC)
            c = QLatin1Char('-');
    }
    return folded;
}

void foldWideCharacters(QLineEdit* field) {
    QObject::connect(field, &QLineEdit::textEdited, field, [field](const QString& text) {
        const QString folded = asciiNumberText(text);
        if (folded == text)
            return;
        const int cursor = field->cursorPosition(); // one character for one: the cursor stays put
        field->setText(folded);
        field->setCursorPosition(cursor);
    });
}

TypedNumber readTypedNumber(const QString& text) {
    QString compact = asciiNumberText(text);
    compact.remove(QLatin1Char(' '))
        .remove(QLatin1Char('\t'))
        .remove(QLatin1Char('\n'))
        .remove(QLatin1Char('\r'));
    TypedNumber number;
    if (compact.isEmpty())
        return number;
    const textio::NumberReading reading = textio::readWholeNumber(utf8(compact));
    number.value = reading.value;
    number.status = reading.ok()                                         ? TypedNumber::Ok
                    : reading.status == textio::NumberStatus::OutOfRange ? TypedNumber::OutOfRange
                                                                         : TypedNumber::NotANumber;
    return number;
}

QString typedNumberProblem(const QString& caption, const QString& text) {
    const QString quoted = qs(textio::quotedFieldText(utf8(text)));
    switch (readTypedNumber(text).status) {
    case TypedNumber::Ok:
        return {};
    case TypedNumber::Empty:
        return QCoreApplication::translate("NumberInput", "「%1」に数値が入力されていません。").arg(caption);
    case TypedNumber::NotANumber:
        return QCoreApplication::translate("NumberInput", "「%1」の「%2」は数値ではありません。")
            .arg(caption, quoted);
    case TypedNumber::OutOfRange:
        return QCoreApplication::translate("NumberInput", "「%1」の「%2」は大きすぎて扱えません。")
            .arg(caption, quoted);
    }
    return {};
}

std::optional<double> numberForSave(QWidget* parent, QLineEdit* field, const QString& caption,
                                    const std::function<bool(double)>& allowed, const QString& needs) {
    const TypedNumber number = readTypedNumber(field->text());
    if (number.ok() && allowed(number.value))
        return number.value;
    const QString quoted = qs(textio::quotedFieldText(utf8(field->text())));
    QString message;
    if (number.status == TypedNumber::Empty)
        message = QCoreApplication::translate("NumberInput", "「%1」が空欄です。%2を入力して下さい。")
                      .arg(caption, needs);
    else if (number.ok())
        message = QCoreApplication::translate("NumberInput",
                                              "「%1」の「%2」では計算できません。%3を入力して下さい。")
                      .arg(caption, quoted, needs);
    else
        message = QCoreApplication::translate("NumberInput",
                                              "「%1」の「%2」は数値ではありません。%3を入力して下さい。")
                      .arg(caption, quoted, needs);
    MessageBox::warning(parent, message);
    field->setFocus(Qt::OtherFocusReason);
    field->selectAll();
    return std::nullopt;
}

} // namespace tamso::ui
