#include "tools/calc/organcli.h"

#include "engine/organdose.h"
#include "records/recordeffectivedose.h"
#include "refdata/referenceloader.h"
#include "textio/fileio.h"
#include "textio/numberformat.h"
#include "textio/numbertext.h"
#include "textio/quantitytext.h"

#include <algorithm>
#include <memory>
#include <ostream>

namespace tamso::calc {

Expected<const refdata::OrganDoseData*> OrganContext::data() {
    if (!data_)
        data_ = refdata::loadOrganDoseData(folder_);
    if (!data_->ok())
        return data_->error();
    return &**data_;
}

Status OrganContext::checkBodyPart(const std::string& name) {
    if (!bodyParts_) {
        auto text = textio::readTextFile(textio::fileInFolder(folder_, "撮影部位.txt"));
        if (!text.ok())
            bodyParts_ = Expected<std::vector<std::string>>(text.error());
        else
            bodyParts_ = Expected<std::vector<std::string>>(textio::splitLines(*text));
    }
    if (!bodyParts_->ok())
        return bodyParts_->error();
    const auto& list = **bodyParts_;
    if (std::find(list.begin(), list.end(), name) == list.end())
        return Error(ErrorCode::CalcBodyPartNotListed, {name});
    return {};
}

const std::vector<std::string>& organResultKeys() {
    static const std::vector<std::string> keys = [] {
        std::vector<std::string> k = {"body_part", "weight_kg", "weight_assumed", "effective_dose_usv",
                                      "effective_dose_u_usv"};
        for (int o = 0; o < engine::kOrganCount; ++o)
            k.push_back(std::string("organ_dose_ugy_") + engine::organInfo(o).key);
        return k;
    }();
    return keys;
}

Expected<std::vector<std::string>> organResults(const engine::CalculationState& state, const std::string& bodyPart,
                                                const std::string& weightKgText, OrganContext& context) {
    if (auto bad = context.checkBodyPart(bodyPart); !bad.ok())
        return bad.error();
    auto data = context.data();
    if (!data.ok())
        return data.error();
    std::optional<double> weight;
    if (!weightKgText.empty()) {
        const auto reading = textio::readWholeNumber(weightKgText);
        if (!reading.ok())
            return Error(ErrorCode::CalcWeightNotANumber, {textio::quotedFieldText(weightKgText)});
        weight = reading.value;
    }
    if (!weight && !(*data)->defaultWeightKg && !(*data)->defaultWeightProblem.empty())
        return Error(ErrorCode::CalcWeightMissingNoDefault, {(*data)->defaultWeightProblem});
    auto r = engine::organDosesForBodyPart((*data)->table, state, bodyPart, weight, (*data)->defaultWeightKg);
    if (!r.ok())
        return r.error();
    std::vector<std::string> v = {bodyPart, textio::numberToText(r->weightKg),
                                  r->weightAssumed ? std::string("yes (") + refdata::kDefaultWeightFileName + ")"
                                                   : std::string("no"),
                                  textio::formatNumber(r->effectiveDoseUSv, "#0.000"),
                                  textio::expandedUncertaintyText(r->effectiveDoseUUSv)};
    for (double d : r->doseUGy)
        v.push_back(textio::formatNumber(d, "#0.000"));
    return v;
}

void printHistoryEffectiveDoses(const records::DoseHistory& history, const std::filesystem::path& workFolder,
                                std::ostream& out) {
    if (!std::filesystem::exists(textio::fileInFolder(workFolder, refdata::kOrganDoseFileName)))
        return;
    auto state = std::make_unique<engine::CalculationState>();
    if (!refdata::loadReferenceData(*state, workFolder).ok())
        return;
    auto data = refdata::loadOrganDoseData(workFolder);
    if (!data.ok()) {
        out << "実効線量: " << data.error().message() << '\n';
        return;
    }
    out << "実効線量(μSv, ICRP 103, 体重 "
        << (data->defaultWeightKg ? textio::numberToText(*data->defaultWeightKg) + " kg は " +
                                        refdata::kDefaultWeightFileName + " の既定値"
                                  : std::string("不明"))
        << "):\n";
    double total = 0;
    for (const records::DoseHistoryEntry* entry : records::doseHistoryTableEntries(history)) {
        if (entry->withdrawal)
            continue;
        out << "No. " << entry->number << "  " << entry->record.examDate << "  " << entry->record.bodyPart << "  ";
        auto r = records::recordOrganDoses(*state, data->table, data->defaultWeightKg, entry->record);
        if (r.ok()) {
            total += r->effectiveDoseUSv;
            out << textio::formatNumber(r->effectiveDoseUSv, "#0.000") << " ± "
                << textio::expandedUncertaintyText(r->effectiveDoseUUSv) << '\n';
        } else {
            out << "計算できません（" << r.error().message() << "）\n";
        }
    }
    out << "累積実効線量(μSv): " << textio::formatNumber(total, "#0.000") << '\n';
}

} // namespace tamso::calc
