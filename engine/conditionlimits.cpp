#include "engine/conditionlimits.h"

#include "textio/numbertext.h"

namespace tamso::engine {

std::string ConditionLimit::rangeText() const {
    const std::string u = std::string(" ") + unit;
    return textio::numberToText(min) + u + (minIncluded ? " 以上 " : " より大きく ") +
           textio::numberToText(max) + u + (maxIncluded ? " 以下" : " 未満");
}

Status checkConditionValue(ConditionId id, double value) {
    const ConditionLimit& limit = conditionLimit(id);
    if (limit.admits(value))
        return {};
    return Error::text(std::string(limit.caption) + " " + textio::numberToText(value) + " " + limit.unit +
                 " は範囲外です。" + limit.rangeText() + "で入力してください。");
}

std::string notANumberMessage(ConditionId id, const std::string& text) {
    const ConditionLimit& limit = conditionLimit(id);
    if (text.find_first_not_of(" \t") == std::string::npos)
        return std::string(limit.caption) + "が入力されていません。" + limit.rangeText() + "で入力してください。";
    return std::string(limit.caption) + "の入力値「" + textio::quotedFieldText(text) +
           "」は数値ではありません。" + limit.rangeText() + "で入力してください。";
}

Status checkConditionTexts(const ConditionTexts& texts) {
    for (const ConditionLimit& limit : kConditionLimits) {
        const std::string& text = texts.*limit.text;
        const textio::NumberReading reading = textio::readLeadingNumber(text);
        if (reading.status == textio::NumberStatus::NotANumber)
            return Error::text(notANumberMessage(limit.id, text));
        if (reading.status == textio::NumberStatus::OutOfRange)
            return Error::text(std::string(limit.caption) + "の入力値「" + textio::quotedFieldText(text) +
                         "」は大きすぎて計算に使えません。");
        if (auto bad = checkConditionValue(limit.id, reading.value); !bad.ok())
            return bad;
    }
    return {};
}

} // namespace tamso::engine
