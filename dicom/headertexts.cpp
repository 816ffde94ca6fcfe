#include "dicom/headervalues.h"

#include "dicom/dicomtext.h"

#include <dcmtk/dcmdata/dcdeftag.h>

#include <algorithm>
#include <string_view>

// The date of the exposure and the texts of the header (patient, body part) in UTF-8.
namespace tamso::dicom::detail {

namespace {

bool isDigits(std::string_view text) {
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// "YYYYMMDD", or "YYYY.MM.DD" as older headers write it; a real calendar date from 1900 on.
std::optional<CalendarDate> parseDate(std::string_view text) {
    std::string digits;
    if (text.size() == 10 && text[4] == '.' && text[7] == '.')
        digits =
            std::string(text.substr(0, 4)) + std::string(text.substr(5, 2)) + std::string(text.substr(8, 2));
    else
        digits = std::string(text);
    if (digits.size() != 8 || !isDigits(digits))
        return std::nullopt;
    CalendarDate d{std::stoi(digits.substr(0, 4)), std::stoi(digits.substr(4, 2)),
                   std::stoi(digits.substr(6, 2))};
    static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (d.year < 1900 || d.month < 1 || d.month > 12 || d.day < 1)
        return std::nullopt;
    const bool leap = (d.year % 4 == 0 && d.year % 100 != 0) || d.year % 400 == 0;
    const int days = kDays[d.month - 1] + (d.month == 2 && leap ? 1 : 0);
    if (d.day > days)
        return std::nullopt;
    return d;
}

} // namespace

Sourced<CalendarDate> readExamDate(DcmItem& item) {
    struct DateAttribute {
        DcmTagKey key;
        const char* name;
        bool dateTime;
    };
    const DateAttribute attributes[] = {{DCM_AcquisitionDate, "AcquisitionDate (0008,0022)", false},
                                        {DCM_AcquisitionDateTime, "AcquisitionDateTime (0008,002A)", true},
                                        {DCM_ContentDate, "ContentDate (0008,0023)", false},
                                        {DCM_SeriesDate, "SeriesDate (0008,0021)", false},
                                        {DCM_StudyDate, "StudyDate (0008,0020)", false}};
    Sourced<CalendarDate> date;
    std::vector<std::string> problems;
    for (const DateAttribute& attribute : attributes) {
        std::string tooLong;
        const auto raw = rawValue(item, attribute.key, attribute.name, &tooLong);
        if (!tooLong.empty())
            problems.push_back(tooLong);
        if (!raw)
            continue;
        const std::string_view text =
            attribute.dateTime ? std::string_view(*raw).substr(0, 8) : std::string_view(*raw);
        if (auto parsed = parseDate(text)) {
            date.value = parsed;
            date.source = attribute.name;
            return date;
        }
        problems.push_back(std::string(attribute.name) + " の値 '" + *raw + "' は日付として読めません");
    }
    date.problem = missingProblem(
        problems, "AcquisitionDate (0008,0022)、ContentDate (0008,0023)、StudyDate (0008,0020)");
    return date;
}

// A string attribute in UTF-8; empty when absent, with the conversion's message in problem when the
// text cannot be converted.
Sourced<std::string> readText(DcmItem& item, const DcmTagKey& key, const char* name,
                              const std::string& characterSet) {
    Sourced<std::string> text;
    std::string tooLong;
    const auto raw = rawValue(item, key, name, &tooLong);
    if (!raw) {
        text.absent = tooLong.empty();
        text.problem = text.absent ? std::string(name) + " がありません" : tooLong;
        return text;
    }
    auto converted = toUtf8(*raw, characterSet);
    if (!converted.ok()) {
        text.problem = std::string(name) + " の" + converted.error().message();
        return text;
    }
    text.value = trimValue(*converted);
    text.source = name;
    return text;
}

} // namespace tamso::dicom::detail
