#pragma once
// The texts of the window "受信画像" that come from the node: held reasons, set-aside notes, sending
// errors (Japanese texts the node builds from fixed pieces and the image's values), shown in the
// interface's language; the line that says what the radiographer does next with a held image; and
// times and dates in one form per language.

#include <QString>

#include <cstdint>
#include <string>

namespace tamso::ui {

// A text of the node in the interface's language: its fixed pieces translated, the values between
// them (IDs, names, attribute names, numbers) kept.
QString nodeText(const std::string& text);

// What the radiographer does next with a held image, by its reason: one line.
QString nextStepText(const std::string& heldReason);

// A time of the node's log ("2024-05-01 10:15:30", local), an outbox time (seconds since 1970) and an
// exam date as recorded ("2024/05/01"), each in the window's one form for the language (the short
// date of dateLocale(), the time as HH:mm:ss). A text that is no time or date is shown as it is.
QString logTimeText(const std::string& time);
QString outboxTimeText(std::int64_t seconds);
QString examDateText(const std::string& date);

} // namespace tamso::ui
