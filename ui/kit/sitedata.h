#pragma once
// The site's own data that the screens read beside the calculation state: the reference level
// table and the organ-dose data of the working folder. The shell owns one and hands it to the
// windows that use it; a test makes its own.

#include "refdata/organdosefile.h"
#include "refdata/referencelevels.h"
#include "textio/expected.h"
#include "textio/filereading.h"

#include <array>
#include <filesystem>
#include <optional>

namespace tamso::ui {

class SiteData {
public:
    // The reference level table in effect: read at start-up (empty when the file is missing or
    // could not be read) and replaced when the reference level editor saves.
    refdata::ReferenceLevelTable referenceLevels;

    // The working folder's organ-dose table and the site's default weight
    // (refdata::loadOrganDoseData). Read on first use (an older folder has no table), and read again
    // when the working folder is another one or when 臓器線量.dat or 体重既定値.txt changed (time
    // or size) since: a site that edits its default weight sees it at the next calculation. A
    // folder whose files cannot be read is read again on the next call. The pointer holds until
    // the next call.
    Expected<const refdata::OrganDoseData*> organDoseData();

private:
    using Stamps = std::array<textio::FileStamp, 2>;
    static Stamps organDoseStamps(const std::filesystem::path& folder);

    std::filesystem::path organFolder_;
    Stamps organStamps_{};
    std::optional<refdata::OrganDoseData> organs_;
};

} // namespace tamso::ui
