#pragma once
// tamso-calc's organ doses and effective dose: --body-part NAME (a line of 撮影部位.txt) and
// --weight-kg W (else the site's default weight of 体重既定値.txt, marked as assumed).

#include "engine/calculationstate.h"
#include "records/dosehistory.h"
#include "refdata/organdosefile.h"
#include "textio/expected.h"

#include <filesystem>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

namespace tamso::calc {

// The working folder's organ-dose table, default weight and body-part list, read on first use.
class OrganContext {
public:
    explicit OrganContext(std::filesystem::path folder) : folder_(std::move(folder)) {}
    Expected<const refdata::OrganDoseData*> data();
    // Refused, naming the file, where the name is no line of 撮影部位.txt.
    Status checkBodyPart(const std::string& name);

private:
    std::filesystem::path folder_;
    std::optional<Expected<refdata::OrganDoseData>> data_;
    std::optional<Expected<std::vector<std::string>>> bodyParts_;
};

// The keys printed after the results when a body part is named, in order.
const std::vector<std::string>& organResultKeys();

// The values of organResultKeys for the exposure just computed on `state`.
Expected<std::vector<std::string>> organResults(const engine::CalculationState& state, const std::string& bodyPart,
                                                const std::string& weightKgText, OrganContext& context);

// The effective dose of every exposure of a dose history, computed from each record's conditions
// (records/recordeffectivedose.h) with the site's default weight, and their sum: printed after
// the history where the working folder has the reference data and the organ-dose table; nothing
// otherwise (an older working folder). Lines:
//   実効線量(μSv, ICRP 103, 体重 3 kg は既定値): then per exposure "No. 1  2024/05/01  胸部正面  12.345 ± 4.6"
//   (or the reason it cannot be computed), then "累積実効線量(μSv): 24.690".
void printHistoryEffectiveDoses(const records::DoseHistory& history, const std::filesystem::path& workFolder,
                                std::ostream& out);

} // namespace tamso::calc
