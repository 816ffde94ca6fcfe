#pragma once
// A synthetic working folder of record files for the audit tests, whose statistics are worked out
// by hand in doseaudit_test.cpp: chest 0.1 0.2 0.3 0.4 mGy in 2026 (level 0.2), abdomen 0.05 0.05
// 0.05 0.2 0.3 (no level), head 0.3 (level 0.5); a continuation file, a record with an unreadable
// date, two without a dose, one from 2025, two unreadable record files and a folder named like one.

#include "refdata/referencelevels.h"
#include "testsupport.h"

#include <string>
#include <vector>

namespace tamso::test {

struct Exam {
    std::string date;
    std::string bodyPart;
    std::string dose; // as the record file line holds it
};

// A record file as the report screen writes it: name, count, 13 lines per record.
inline void writeRecordFile(const TempFolder& dir, const std::string& fileName,
                            const std::vector<Exam>& exams) {
    std::string text = "新生 太郎\r\n " + std::to_string(exams.size()) + " \r\n";
    for (const Exam& e : exams)
        text += e.date + "\r\n技師\r\n" + e.bodyPart +
                "\r\n 8 \r\n装置\r\n 60 \r\n 2 \r\n 100 \r\n六切サイズ\r\n" + e.dose +
                "\r\n 1.5 \r\n\r\n\r\n";
    test::writeSjis(dir.file(fileName), text);
}

inline refdata::ReferenceLevelTable auditLevels() {
    refdata::ReferenceLevelTable table;
    table.rows = {{"腹部正面", std::nullopt, ""},
                  {"胸部正面", 0.2, "JP"},
                  {"胸部正面", 0.05, "NICU"},
                  {"頭部正面", 0.5, "H"}};
    return table;
}

// The folder described at the top of this file.
inline void writeAuditFolder(const TempFolder& dir) {
    writeRecordFile(dir, "A001.pat",
                    {{"2026/01/10", "胸部正面", " .1 "},
                     {"2026-01-11", "腹部正面", " .05 "},
                     {"2026/1/2", "腹部正面", ".05"}});
    // The continuation of A001 ("A001.~2.pat"): the same infant.
    writeRecordFile(dir, "A001.~2.pat", {{"2026/02/01", "胸部正面", " .4 "}});
    writeRecordFile(dir, "B002.pat",
                    {{"2026/02/03", "胸部正面", " .2 "},
                     {"2026/02/04", "腹部正面", "\"0.3\""}, // a dose stored quoted reads as the number
                     {"2026/2/5", "頭部正面", " .3 "},
                     {"2026/02/06", "腹部正面", "未計算"},
                     {"令和8年2月7日", "胸部正面", " .9 "}});
    writeRecordFile(dir, "C003.pat",
                    {{"2026/03/01", "胸部正面", " .3 "},
                     {"2026/03/02", "腹部正面", " .2 "},
                     {"2026/03/03", "腹部正面", " .05 "},
                     {"2025/12/31", "胸部正面", " 5 "},
                     {"2026/03/04", "頭部正面", ""}});
    test::writeSjis(dir.file("Z999.pat"), "壊れた\r\nabc\r\n");
    test::writeBytes(dir.file("Y998.pat"), "\x81\x20\r\n 1 \r\n");
    // Never record files: the lock beside one, a leftover temporary file, a hidden file.
    test::writeBytes(dir.file("A001.pat.lock"), "");
    test::writeBytes(dir.file(".A001.pat.tmp-0123456789abcdef"), "junk");
    test::writeBytes(dir.file(".hidden.pat"), "junk");
    // A folder of a record file's name: not read, but listed.
    std::filesystem::create_directory(dir.file("folder.pat"));
}

} // namespace tamso::test
