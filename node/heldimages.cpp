// The held images: the list the screens show, and a held image set aside by a person or resolved
// through the report. Each change is an entry of the image log, appended under the processing lock.

#include "node/imagelog.h"

#include "node/nodefolders.h"
#include "node/nodeplatform.h"

namespace tamso::node {

Expected<ReceivedImages> listReceivedImages(const fs::path& workFolder, size_t recentCount) {
    ImageLog log(workFolder);
    if (auto e = log.refresh(); !e.ok())
        return e.error();
    return ReceivedImages{log.held(), log.recent(recentCount)};
}

fs::path heldHeaderFile(const fs::path& workFolder, const ImageEntry& held) {
    return nodeFolder(workFolder) / "held" / fs::u8path(held.file);
}

std::string setAsideReason(const std::string& who, const std::string& why) {
    return "取り除き（担当: " + who + "）: " + why;
}

fs::path setAsideHeaderFile(const fs::path& workFolder, const ImageEntry& setAside) {
    return nodeFolder(workFolder) / "set-aside" / fs::u8path(setAside.file);
}

namespace {

// A change of one held image: the log read under the processing lock, which it holds until the
// change is appended.
struct HeldChange {
    explicit HeldChange(const fs::path& workFolder) : folder(workFolder), log(workFolder) {}
    Status open() {
        if (auto e = lock.acquire(folder, std::chrono::seconds(10)); !e.ok())
            return e;
        return log.refresh();
    }
    // The image's latest entry where it is held now; none where it was recorded or set aside since.
    const ImageEntry* held(const std::string& uid) const {
        const ImageEntry* latest = log.latest(uid);
        return latest && latest->outcome == Outcome::Held ? latest : nullptr;
    }

    const fs::path& folder;
    ProcessingLock lock;
    ImageLog log;
};

} // namespace

Status setAsideHeldImage(const fs::path& workFolder, const std::string& uid, const std::string& who,
                         const std::string& why) {
    auto blank = [](const std::string& text) {
        return text.find_first_not_of(" \t\r\n") == std::string::npos;
    };
    if (blank(who))
        return Error(ErrorCode::SetAsideWhoMissing);
    if (blank(why))
        return Error(ErrorCode::SetAsideWhyMissing);
    HeldChange change(workFolder);
    if (auto e = change.open(); !e.ok())
        return e;
    const ImageEntry* held = change.held(uid);
    if (!held)
        return Error(ErrorCode::ImageNoLongerHeld);
    ImageEntry setAside = *held;
    setAside.time = platform::localTimeText();
    setAside.outcome = Outcome::SetAside;
    setAside.reason = setAsideReason(who, why);
    std::vector<ImageEntry> entries{setAside};
    if (auto e = change.log.append(entries); !e.ok())
        return e;
    // The log decides: a header left in held/ (a move that failed) is only a file.
    std::error_code ec;
    const fs::path header = heldHeaderFile(workFolder, *held);
    fs::create_directories(setAsideHeaderFile(workFolder, setAside).parent_path(), ec);
    fs::rename(header, setAsideHeaderFile(workFolder, setAside), ec);
    return {};
}

Status resolveHeldImage(const fs::path& workFolder, const std::string& uid, const std::string& patientId,
                        int recordNumber, const std::string& doseMGy, const std::string& typedValues) {
    HeldChange change(workFolder);
    if (auto e = change.open(); !e.ok())
        return e;
    const ImageEntry* held = change.held(uid);
    if (!held)
        return {};
    ImageEntry resolved = *held;
    resolved.time = platform::localTimeText();
    resolved.outcome = Outcome::Resolved;
    resolved.patientId = patientId;
    resolved.recordNumber = recordNumber;
    resolved.doseMGy = doseMGy;
    resolved.reason = "報告書から保存（保留理由: " + held->reason + "）";
    if (!typedValues.empty())
        resolved.reason += "、手入力: " + typedValues;
    const fs::path header = heldHeaderFile(workFolder, *held);
    std::vector<ImageEntry> entries{resolved};
    if (auto e = change.log.append(entries); !e.ok())
        return e;
    std::error_code ec;
    fs::remove(header, ec);
    return {};
}

} // namespace tamso::node
