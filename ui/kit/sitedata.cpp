#include "ui/kit/sitedata.h"

#include "textio/filenames.h"
#include "ui/kit/uiutil.h"

namespace tamso::ui {

SiteData::Stamps SiteData::organDoseStamps(const std::filesystem::path& folder) {
    return {textio::fileStamp(textio::fileInFolder(folder, refdata::kOrganDoseFileName)),
            textio::fileStamp(textio::fileInFolder(folder, refdata::kDefaultWeightFileName))};
}

Expected<const refdata::OrganDoseData*> SiteData::organDoseData() {
    const std::filesystem::path folder = workingFolderPath();
    // Stamped before reading: a change made while the files are read is seen at the next call.
    const Stamps stamps = organDoseStamps(folder);
    if (organs_ && folder == organFolder_ && stamps == organStamps_)
        return &*organs_;
    organs_.reset();
    auto data = refdata::loadOrganDoseData(folder);
    if (!data.ok())
        return data.error();
    organs_ = std::move(*data);
    organFolder_ = folder;
    organStamps_ = stamps;
    return &*organs_;
}

} // namespace tamso::ui
