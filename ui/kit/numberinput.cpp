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

namespace {

// "20 kV 以上 150 kV 未満", as ConditionLimit::rangeText words it.
QString conditionRange(const engine::ConditionLimit& limit) {
    const char* const words[2][2] = {{QT_TRANSLATE_NOOP("NumberInput", "%1 %3 より大きく %2 %3 未満"),
                                      QT_TRANSLATE_NOOP("NumberInput", "%1 %3 より大きく %2 %3 以下")},
                                     {QT_TRANSLATE_NOOP("NumberInput", "%1 %3 以上 %2 %3 未満"),
                                      QT_TRANSLATE_NOOP("NumberInput", "%1 %3 以上 %2 %3 以下")}};
    return QCoreApplication::translate("NumberInput", words[limit.minIncluded][limit.maxIncluded])
        .arg(qs(textio::numberToText(limit.min)), qs(textio::numberToText(limit.max)), coreText(limit.unit));
}

} // namespace

QString conditionProblem(engine::ConditionId id, const QString& typed) {
    const engine::ConditionLimit& limit = engine::conditionLimit(id);
    const QString caption = coreText(limit.caption);
    const QString text = asciiNumberText(typed);
    const TypedNumber number = readTypedNumber(text);
    if (number.status == TypedNumber::Empty)
        return QCoreApplication::translate("NumberInput", "%1が入力されていません。%2で入力してください。")
            .arg(caption, conditionRange(limit));
    if (!number.ok())
        return QCoreApplication::translate("NumberInput",
                                           "%1の入力値「%2」は数値ではありません。%3で入力してください。")
            .arg(caption, qs(textio::quotedFieldText(utf8(text))), conditionRange(limit));
    if (limit.admits(number.value))
        return {};
    return QCoreApplication::translate("NumberInput", "%1 %2 %3 は範囲外です。%4で入力してください。")
        .arg(caption, qs(textio::numberToText(number.value)), coreText(limit.unit), conditionRange(limit));
}

std::optional<double> conditionForSave(QWidget* parent, QLineEdit* field, engine::ConditionId id) {
    const QString problem = conditionProblem(id, field->text());
    if (problem.isEmpty())
        return readTypedNumber(field->text()).value;
    MessageBox::warning(parent, problem);
    field->setFocus(Qt::OtherFocusReason);
    field->selectAll();
    return std::nullopt;
}

} // namespace tamso::ui
