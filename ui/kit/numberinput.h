#pragma once
// Numbers as the user types them into the screens' fields. A Japanese input method types digits,
// the point and the minus sign full-width ("５０", "２．５", "－１"); the fields read them as their
// ASCII forms, and a field for numbers turns them into those forms as they are typed, so that what
// it shows is what is read. The core's rules and the stored files stay as they are: the folding
// happens here, before a text reaches the core.

#include "engine/conditionlimits.h"

#include <QString>

#include <functional>
#include <optional>

class QLineEdit;
class QWidget;

namespace tamso::ui {

// The text with full-width ASCII characters (U+FF01..U+FF5E: digits, "．", "－", "＋", "Ｅ", ...)
// in their ASCII forms, the ideographic space as a blank, and the minus sign "−" and the long vowel
// mark "ー" (which an input method types for the minus key) as "-". Other characters stay.
QString asciiNumberText(const QString& text);

// Makes the field turn full-width characters into their ASCII forms as the user types them (the
// cursor stays where it was).
void foldWideCharacters(QLineEdit* field);

// A typed number: blanks are ignored wherever they stand ("1 2" is 12), full-width characters
// count as their ASCII forms, and the rest must be one decimal number ("12abc" is not a number).
struct TypedNumber {
    enum Status { Ok, Empty, NotANumber, OutOfRange };
    Status status = Empty;
    double value = 0;
    bool ok() const { return status == Ok; }
};
TypedNumber readTypedNumber(const QString& text);

// What is wrong with a typed text that is not a number, naming the field by its caption:
// "「Ｘ線管電圧」に数値が入力されていません。", "「Ｘ線管電圧」の「abc」は数値ではありません。",
// "「Ｘ線管電圧」の「1e999」は大きすぎて扱えません。". Empty for a number.
QString typedNumberProblem(const QString& caption, const QString& text);

// The number typed into a field for a Save, or nothing after a warning over `parent` that names the
// field by its caption, quotes what was typed and says what the field needs ("0 より大きい数値（eV）");
// the field then has the focus. `allowed` tells whether a value can be computed with.
std::optional<double> numberForSave(QWidget* parent, QLineEdit* field, const QString& caption,
                                    const std::function<bool(double)>& allowed, const QString& needs);

// What is wrong with a text typed for an exposure condition, in the words of the conditions' table
// (engine/conditionlimits.h: the same text in Japanese) and the installed language: the condition,
// what was typed and its range. Empty for a number within the range.
QString conditionProblem(engine::ConditionId id, const QString& typed);

// The number typed into a field for an exposure condition for a Save, or nothing after a warning
// over `parent` with the message of the conditions' table (engine/conditionlimits.h), which names the
// condition, quotes what was typed and gives its range: what every calculation would refuse. The
// field then has the focus.
std::optional<double> conditionForSave(QWidget* parent, QLineEdit* field, engine::ConditionId id);

} // namespace tamso::ui
