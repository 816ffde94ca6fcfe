#pragma once
// The patient record file "<ID>.pat" in the working folder and the record table it is read into.
//
// Layout (Shift-JIS, one value per line, CR LF):
//   line 1            the patient name (whole line)
//   line 2            the record count N, 1 to 20 (list field)
//   lines 3..2+13*N   N records of 13 lines each, oldest first
// A record's lines, in order: exam date, technologist, body part (whole lines), thickness (list),
// X-ray unit (whole line), tube voltage, mAs, FFD (list), field size (whole line), entrance surface
// dose, caregiver doses at positions 1, 2, 3 (list).
//
// A whole line is taken verbatim. A list field holds a number (written " 2 ", " .5 ", "-3 " and read
// in that form or as plain text), a text, or nothing (an empty line). A list field never holds a
// comma: a file with one is not in the layout and is neither listed nor rewritten.

#include "textio/expected.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace tamso::records {

namespace fs = std::filesystem;

constexpr int kMaxPatientRecords = 20;
constexpr int kRecordLines = 13;
constexpr std::string_view kRecordFileExtension = ".pat";
// A record file holds at most 262 short lines; anything far larger is not one. Every read of a
// record file goes through the bounded reader (textio::readRegularFileBytes) with this bound, so a
// named pipe or a link to a device under a record file's name neither waits nor grows.
constexpr std::uintmax_t kMaxRecordFileBytes = std::uintmax_t{1} << 20;

// A list field: nothing, a number or a text.
using ListValue = std::variant<std::monostate, double, std::string>;

struct PatientRecord {
    std::string examDate;
    std::string technologist;
    std::string bodyPart;
    ListValue subjectThicknessCm;
    std::string xrayUnit;
    ListValue tubeVoltageKv;
    ListValue mAs;
    ListValue ffdCm;
    std::string fieldSize;
    ListValue entranceSurfaceDoseMGy;
    std::array<ListValue, 3> caregiverDoseUSv; // positions 1, 2, 3 at indices 0, 1, 2
};

// The 13 field texts of a record as the report screen shows them (before they are stored).
struct RecordTexts {
    std::string examDate;
    std::string technologist;
    std::string bodyPart;
    std::string subjectThicknessCm;
    std::string xrayUnit;
    std::string tubeVoltageKv;
    std::string mAs;
    std::string ffdCm;
    std::string fieldSize;
    std::string entranceSurfaceDoseMGy;
    std::array<std::string, 3> caregiverDoseUSv; // positions 1, 2, 3

    // The texts in the file's line order (index 0..12, as isListFieldLine counts them).
    std::array<std::string, kRecordLines> inLineOrder() const {
        return {examDate,
                technologist,
                bodyPart,
                subjectThicknessCm,
                xrayUnit,
                tubeVoltageKv,
                mAs,
                ffdCm,
                fieldSize,
                entranceSurfaceDoseMGy,
                caregiverDoseUSv[0],
                caregiverDoseUSv[1],
                caregiverDoseUSv[2]};
    }
};
// Which of the 13 lines are list fields (the others are whole lines).
bool isListFieldLine(int index);
// The line a screen text is stored as: verbatim; a list field with a comma is quoted so that it
// reads back as one value.
std::string storedRecordLine(int index, const std::string& text);
// The record as its texts read back once stored (whole lines verbatim, list fields by their value),
// or nothing when a list field would not read back.
std::optional<PatientRecord> recordAsStored(const RecordTexts& texts);
// Whether two records hold the same in every field: whole lines verbatim, list fields by value, so
// that a dose stored as " .25 " and shown again as "0.250" is the same dose.
bool sameRecord(const PatientRecord& a, const PatientRecord& b);
// The caption of a record field as the report screen labels it (for messages).
std::string recordFieldCaption(int index);

// The patient record file read last: its name, its count and its records 1..count (entry 0 unused).
struct PatientRecordState {
    std::string patientName;
    int patientRecordCount = 0;
    std::array<PatientRecord, kMaxPatientRecords + 1> PatientRecordTable{};
};

// The table shared by the report screen and the record search.
extern PatientRecordState PatientRecords;

// A list field's value read from the text of its line: empty -> nothing, a decimal number (plain or
// in the number write form) -> the number, anything else -> the text (a leading quote runs to the
// next quote, trailing blanks dropped). A comma outside quotes, and text after the closing quote,
// make the line unreadable; the error says which ("区切りのカンマがあります", ...).
Expected<ListValue> parseListValue(std::string_view line);
// The same, without the reason.
std::optional<ListValue> readListValue(std::string_view line);
// The line a list value is written as: a number in the number write form, a text verbatim,
// nothing as an empty line.
std::string listValueLine(const ListValue& value);
// The value as a user reads it: a number in its usual decimal text, a text as stored, nothing empty.
std::string listValueText(const ListValue& value);

// Parses the UTF-8 text of a record file. The error explains what is not in the layout; fileName
// names the file in it.
Expected<PatientRecordState> parsePatientRecordFile(std::string_view utf8Text, std::string_view fileName);
// The lines of a record file holding the state's name, count and records 1..count.
std::vector<std::string> patientRecordFileLines(const PatientRecordState& state);

// Whether a patient ID can name its record file in the working folder on every platform: refused
// are path separators, "..", the characters < > : " | ? * and ~ (which names continuation files,
// see patienthistory.h), control characters, leading or
// trailing blanks, a leading or final ".", the device names CON PRN AUX NUL CONIN$ CONOUT$
// COM0-9 LPT0-9 (also COM¹²³ LPT¹²³; with or without an extension, in any case), characters
// Shift-JIS cannot hold, and IDs for which the record file, its lock file or the temporary file of
// a save would have a longer name than the file system of the folder allows (255 without a
// folder). The error says why.
Status checkPatientId(std::string_view patientId, const fs::path& folder = {});

// The record file of a patient ID (ID + ".pat") in the folder; the ID is not checked here.
fs::path patientRecordFile(const fs::path& folder, std::string_view patientId);

// Line 1 of a record file, or nothing when the file does not exist, is no regular file of at most
// kMaxRecordFileBytes, or its first line cannot be read. Shows nothing; the file is always closed.
std::optional<std::string> readPatientName(const fs::path& file);
// Looks up the stored name of a patient ID in the folder: on success it is also put into
// state.patientName. An ID that cannot name a file gives nothing.
std::optional<std::string> lookUpPatientName(const fs::path& folder, std::string_view patientId,
                                             PatientRecordState& state = PatientRecords);

// Reads a whole record file into the state. On an error (file missing, no regular file of at most
// kMaxRecordFileBytes, not Shift-JIS, not in the layout) the state is left as it was and the
// message names the file.
Status loadPatientRecords(const fs::path& file, PatientRecordState& state = PatientRecords);
// The same, into a new state.
Expected<PatientRecordState> readPatientRecordFile(const fs::path& file);

} // namespace tamso::records
