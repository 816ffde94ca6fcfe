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
    return Error(ErrorCode::ConditionOutOfRange, {limit.caption, textio::numberToText(value), limit.unit, limit.rangeText()});
}

Error notANumberMessage(ConditionId id, const std::string& text) {
    const ConditionLimit& limit = conditionLimit(id);
    if (text.find_first_not_of(" \t") == std::string::npos)
        return Error(ErrorCode::ConditionMissing, {limit.caption, limit.rangeText()});
    return Error(ErrorCode::ConditionNotANumber, {limit.caption, textio::quotedFieldText(text), limit.rangeText()});
}

Status checkConditionTexts(const ConditionTexts& texts) {
    for (const ConditionLimit& limit : kConditionLimits) {
        const std::string& text = texts.*limit.text;
        const textio::NumberReading reading = textio::readLeadingNumber(text);
        if (reading.status == textio::NumberStatus::NotANumber)
            return notANumberMessage(limit.id, text);
        if (reading.status == textio::NumberStatus::OutOfRange)
            return Error(ErrorCode::ConditionTooLarge, {limit.caption, textio::quotedFieldText(text)});
        if (auto bad = checkConditionValue(limit.id, reading.value); !bad.ok())
            return bad;
    }
    return {};
}

} // namespace tamso::engine
