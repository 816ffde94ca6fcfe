#include "records/patientrecordfile.h"

#include "textio/codec.h"
#include "textio/fileio.h"
#include "textio/numbertext.h"

#include <cmath>

namespace tamso::records {

PatientRecordState PatientRecords;

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string quotedName(std::string_view fileName) {
    return "「" + std::string(fileName) + "」";
}

// The record's fields as (whole line | list value) references in the file's line order.
struct FieldRef {
    std::string* line = nullptr;
    ListValue* value = nullptr;
};

std::array<FieldRef, kRecordLines> fieldRefs(PatientRecord& r) {
    return {{{&r.examDate, nullptr},
             {&r.technologist, nullptr},
             {&r.bodyPart, nullptr},
             {nullptr, &r.subjectThicknessCm},
             {&r.xrayUnit, nullptr},
             {nullptr, &r.tubeVoltageKv},
             {nullptr, &r.mAs},
             {nullptr, &r.ffdCm},
             {&r.fieldSize, nullptr},
             {nullptr, &r.entranceSurfaceDoseMGy},
             {nullptr, &r.caregiverDoseUSv[0]},
             {nullptr, &r.caregiverDoseUSv[1]},
             {nullptr, &r.caregiverDoseUSv[2]}}};
}

} // namespace

bool isListFieldLine(int index) {
    switch (index) {
    case 3:
    case 5:
    case 6:
    case 7:
    case 9:
    case 10:
    case 11:
    case 12:
        return true;
    default:
        return false;
    }
}

std::string storedRecordLine(int index, const std::string& text) {
    if (isListFieldLine(index) && text.find(',') != std::string::npos)
        return "\"" + text + "\"";
    return text;
}

std::optional<PatientRecord> recordAsStored(const RecordTexts& texts) {
    PatientRecord record;
    const auto lines = texts.inLineOrder();
    const auto refs = fieldRefs(record);
    for (int i = 0; i < kRecordLines; ++i) {
        const std::string& text = lines[static_cast<size_t>(i)];
        const FieldRef& ref = refs[static_cast<size_t>(i)];
        if (ref.line) {
            *ref.line = text;
        } else if (auto value = readListValue(storedRecordLine(i, text))) {
            *ref.value = std::move(*value);
        } else {
            return std::nullopt;
        }
    }
    return record;
}

bool sameRecord(const PatientRecord& a, const PatientRecord& b) {
    return a.examDate == b.examDate && a.technologist == b.technologist && a.bodyPart == b.bodyPart &&
           a.subjectThicknessCm == b.subjectThicknessCm && a.xrayUnit == b.xrayUnit &&
           a.tubeVoltageKv == b.tubeVoltageKv && a.mAs == b.mAs && a.ffdCm == b.ffdCm &&
           a.fieldSize == b.fieldSize && a.entranceSurfaceDoseMGy == b.entranceSurfaceDoseMGy &&
           a.caregiverDoseUSv == b.caregiverDoseUSv;
}

std::string recordFieldCaption(int index) {
    static const char* const captions[kRecordLines] = {
        "撮影日", "撮影担当", "撮影部位",     "体 厚",          "撮影装置",       "管電圧",        "電流･秒",
        "FFD",    "照射野",   "入射表面線量", "介助者被ばく 1", "介助者被ばく 2", "介助者被ばく 3"};
    return index >= 0 && index < kRecordLines ? captions[index] : std::string();
}

Expected<ListValue> parseListValue(std::string_view line) {
    const Error comma(ErrorCode::ListValueComma);
    size_t pos = 0;
    while (pos < line.size() && isBlank(line[pos]))
        ++pos;
    if (pos == line.size())
        return ListValue{};
    if (line[pos] == '"') {
        const size_t close = line.find('"', pos + 1);
        if (close == std::string_view::npos)
            return ListValue{std::string(line.substr(pos + 1))};
        std::string text(line.substr(pos + 1, close - pos - 1));
        size_t rest = close + 1;
        while (rest < line.size() && isBlank(line[rest]))
            ++rest;
        if (rest == line.size())
            return ListValue{std::move(text)};
        if (line.find(',', close) != std::string_view::npos)
            return comma; // a second value on the line
        return Error(ErrorCode::ListValueAfterQuote);
    }
    std::string_view value = line.substr(pos);
    if (value.find(',') != std::string_view::npos)
        return comma;
    while (!value.empty() && isBlank(value.back()))
        value.remove_suffix(1);
    if (auto number = textio::parseNumber(value))
        return ListValue{*number};
    return ListValue{std::string(value)};
}

std::optional<ListValue> readListValue(std::string_view line) {
    auto value = parseListValue(line);
    if (!value.ok())
        return std::nullopt;
    return std::move(*value);
}

std::string listValueLine(const ListValue& value) {
    if (const double* number = std::get_if<double>(&value))
        return textio::numberWriteForm(*number);
    if (const std::string* text = std::get_if<std::string>(&value)) {
        // A text read from a quoted field may hold a comma; it stays quoted so that it reads back.
        if (text->find(',') != std::string::npos)
            return "\"" + *text + "\"";
        return *text;
    }
    return std::string();
}

std::string listValueText(const ListValue& value) {
    if (const double* number = std::get_if<double>(&value))
        return textio::numberToText(*number);
    if (const std::string* text = std::get_if<std::string>(&value))
        return *text;
    return std::string();
}

Expected<PatientRecordState> parsePatientRecordFile(std::string_view utf8Text, std::string_view fileName) {
    auto fail = [&](const std::string& why) {
        return Error(ErrorCode::RecordFileLayout, {std::string(fileName), why});
    };
    const std::vector<std::string> lines = textio::splitLines(utf8Text);
    if (lines.size() < 2)
        return fail("データ数の行がありません");
    PatientRecordState state;
    state.patientName = lines[0];
    const auto countValue = readListValue(lines[1]);
    const double* count = countValue ? std::get_if<double>(&*countValue) : nullptr;
    if (!count || *count != std::floor(*count))
        return fail("2 行目のデータ数「" + lines[1] + "」が整数ではありません");
    if (*count < 1 || *count > kMaxPatientRecords)
        return fail("データ数 " + textio::numberToText(*count) + " が 1～" +
                    std::to_string(kMaxPatientRecords) + " の範囲にありません");
    state.patientRecordCount = static_cast<int>(*count);
    const size_t needed =
        2 + static_cast<size_t>(kRecordLines) * static_cast<size_t>(state.patientRecordCount);
    if (lines.size() < needed)
        return fail(std::to_string(state.patientRecordCount) + " 件のデータには " + std::to_string(needed) +
                    " 行が必要ですが " + std::to_string(lines.size()) + " 行しかありません");
    for (size_t i = needed; i < lines.size(); ++i)
        if (!lines[i].empty())
            return fail(std::to_string(i + 1) + " 行目以降に余分なデータがあります");
    size_t lineIndex = 2;
    for (int k = 1; k <= state.patientRecordCount; ++k) {
        auto refs = fieldRefs(state.PatientRecordTable[static_cast<size_t>(k)]);
        for (int f = 0; f < kRecordLines; ++f, ++lineIndex) {
            const std::string& line = lines[lineIndex];
            if (refs[static_cast<size_t>(f)].line) {
                *refs[static_cast<size_t>(f)].line = line;
                continue;
            }
            auto value = parseListValue(line);
            if (!value.ok())
                return fail(std::to_string(lineIndex + 1) + " 行目（データ " + std::to_string(k) + " の" +
                            recordFieldCaption(f) + "）に" + value.error().message());
            *refs[static_cast<size_t>(f)].value = std::move(*value);
        }
    }
    return state;
}

std::vector<std::string> patientRecordFileLines(const PatientRecordState& state) {
    std::vector<std::string> lines;
    lines.push_back(state.patientName);
    lines.push_back(textio::numberWriteForm(state.patientRecordCount));
    for (int k = 1; k <= state.patientRecordCount && k <= kMaxPatientRecords; ++k) {
        PatientRecord record = state.PatientRecordTable[static_cast<size_t>(k)];
        for (const FieldRef& ref : fieldRefs(record))
            lines.push_back(ref.line ? *ref.line : listValueLine(*ref.value));
    }
    return lines;
}

Status checkPatientId(std::string_view id, const fs::path& folder) {
    auto refuse = [&](const std::string& why) {
        return Error(ErrorCode::PatientIdUnusable, {std::string(id), why});
    };
    if (id.empty())
        return refuse("IDが空です");
    for (unsigned char c : id)
        if (c < 0x20 || c == 0x7F)
            return refuse("制御文字が含まれています");
    if (!textio::utf8ToSjis(id).ok())
        return refuse("Shift-JIS で表せない文字が含まれています");
    if (id.find_first_of("/\\") != std::string_view::npos)
        return refuse("区切り文字 / や \\ は使えません");
    const size_t bad = id.find_first_of("<>:\"|?*");
    if (bad != std::string_view::npos)
        return refuse("文字「" + std::string(1, id[bad]) + "」は使えません");
    if (id.find('~') != std::string_view::npos)
        return refuse("文字「~」は続きのファイルの名前に使うため使えません");
    if (id.find("..") != std::string_view::npos)
        return refuse("「..」は使えません");
    constexpr std::string_view ideographicSpace = "\xE3\x80\x80";
    auto isBlankAt = [&](size_t pos) {
        return id[pos] == ' ' || id.substr(pos, ideographicSpace.size()) == ideographicSpace;
    };
    if (isBlankAt(0) || id.back() == ' ' ||
        (id.size() >= ideographicSpace.size() &&
         id.substr(id.size() - ideographicSpace.size()) == ideographicSpace))
        return refuse("前後に空白があります");
    if (id.front() == '.')
        return refuse("先頭の「.」は使えません。隠しファイルになり、データ検索に表示されません");
    if (id.back() == '.')
        return refuse("末尾に「.」は使えません");
    // Windows keeps these names for devices, also with any extension ("NUL.txt", "com1.a.b") and
    // with blanks before it; COM and LPT take the digits 0 to 9 and the superscripts 1 to 3.
    std::string base(id.substr(0, id.find('.')));
    while (!base.empty() && base.back() == ' ')
        base.pop_back();
    for (char& c : base)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    auto isPortNumber = [](std::string_view rest) {
        return (rest.size() == 1 && rest[0] >= '0' && rest[0] <= '9') || rest == "\xC2\xB9" ||
               rest == "\xC2\xB2" || rest == "\xC2\xB3";
    };
    const bool numbered = base.size() > 3 &&
                          (base.compare(0, 3, "COM") == 0 || base.compare(0, 3, "LPT") == 0) &&
                          isPortNumber(std::string_view(base).substr(3));
    if (base == "CON" || base == "PRN" || base == "AUX" || base == "NUL" || base == "CONIN$" ||
        base == "CONOUT$" || numbered)
        return refuse("「" + base + "」は機器の名前のため使えません");
    // The longest of the names a save uses: the record file "<ID>.pat", its lock "<ID>.pat.lock"
    // and the temporary file ".<ID>.pat.tmp-" + 16 digits.
    const size_t longest =
        textio::nativeNameLength(id) + kRecordFileExtension.size() + textio::kTemporaryNameExtraLength;
    const size_t limit = folder.empty() ? 255 : textio::maxFileNameLength(folder);
    if (longest > limit)
        return refuse("長すぎます。保存に使う一時ファイルの名前が " + std::to_string(longest) +
                      textio::kNativeNameUnit + " になり、ファイル名の上限 " + std::to_string(limit) +
                      textio::kNativeNameUnit + " を超えます");
    return {};
}

fs::path patientRecordFile(const fs::path& folder, std::string_view patientId) {
    return textio::fileInFolder(folder, std::string(patientId) + std::string(kRecordFileExtension));
}

std::optional<std::string> readPatientName(const fs::path& file) {
    auto bytes = textio::readRegularFileBytes(file, kMaxRecordFileBytes);
    if (!bytes.ok() || bytes->empty())
        return std::nullopt;
    // Shift-JIS never uses CR or LF as the second byte of a character, so the bytes split safely.
    const size_t end = bytes->find_first_of("\r\n");
    auto name = textio::sjisToUtf8(std::string_view(*bytes).substr(0, end));
    if (!name.ok())
        return std::nullopt;
    return *name;
}

std::optional<std::string> lookUpPatientName(const fs::path& folder, std::string_view patientId,
                                             PatientRecordState& state) {
    if (!checkPatientId(patientId, folder).ok())
        return std::nullopt;
    auto name = readPatientName(patientRecordFile(folder, patientId));
    if (name)
        state.patientName = *name;
    return name;
}

Expected<PatientRecordState> readPatientRecordFile(const fs::path& file) {
    auto bytes = textio::readRegularFileBytes(file, kMaxRecordFileBytes);
    if (!bytes.ok())
        return bytes.error();
    const std::string name = textio::fileNameUtf8(file);
    auto text = textio::sjisToUtf8(*bytes);
    if (!text.ok())
        return Error(ErrorCode::FileUnreadableText, {name, text.error().message()});
    return parsePatientRecordFile(*text, name);
}

Status loadPatientRecords(const fs::path& file, PatientRecordState& state) {
    auto parsed = readPatientRecordFile(file);
    if (!parsed.ok())
        return parsed.error();
    state = std::move(*parsed);
    return {};
}

} // namespace tamso::records
