#include "node/storesender.h"

#include "dicom/dcmtksetup.h"

#include <dcmtk/config/osconfig.h>

#include <dcmtk/dcmdata/dcdeftag.h>
#include <dcmtk/dcmdata/dcmetinf.h>
#include <dcmtk/dcmdata/dcuid.h>
#include <dcmtk/dcmnet/diutil.h>
#include <dcmtk/dcmnet/scu.h>

#include <algorithm>
#include <charconv>
#include <map>

namespace tamso::node {

namespace {

using dicom::detail::dcmtkFileName;

std::string statusHex(std::uint16_t status) {
    static const char digits[] = "0123456789ABCDEF";
    std::string text(4, '0');
    for (int i = 3; i >= 0; --i, status >>= 4)
        text[i] = digits[status & 0xF];
    return text;
}

// The SOP class a file's meta header names; empty when the file cannot be read.
std::string sopClassOf(const fs::path& file) {
    DcmMetaInfo meta;
    if (meta.loadFile(dcmtkFileName(file)).bad())
        return "";
    OFString uid;
    meta.findAndGetOFString(DCM_MediaStorageSOPClassUID, uid);
    return uid.c_str();
}

std::vector<StoreOutcome> allFailed(std::size_t count, const std::string& message) {
    return std::vector<StoreOutcome>(count, StoreOutcome{false, 0, message});
}

} // namespace

bool operator==(const Destination& a, const Destination& b) {
    return a.aeTitle == b.aeTitle && a.host == b.host && a.port == b.port;
}

bool validAeTitle(std::string_view aeTitle) {
    if (aeTitle.empty() || aeTitle.size() > 16)
        return false;
    if (aeTitle.find_first_not_of(' ') == std::string_view::npos)
        return false;
    return std::all_of(aeTitle.begin(), aeTitle.end(), [](char c) {
        const auto u = static_cast<unsigned char>(c);
        return u >= 0x20 && u < 0x7F && c != '\\';
    });
}

Expected<Destination> parseDestination(std::string_view text) {
    const std::string shown(text);
    auto fail = [&shown](ErrorCode why) { return Error(why, {shown}); };
    const auto at = text.find('@');
    if (at == std::string_view::npos)
        return fail(ErrorCode::DestinationNoAt);
    Destination d;
    d.aeTitle = std::string(text.substr(0, at));
    if (!validAeTitle(d.aeTitle))
        return fail(ErrorCode::DestinationAeTitleBad);
    std::string_view rest = text.substr(at + 1);
    std::string_view portText;
    if (!rest.empty() && rest.front() == '[') {
        const auto close = rest.find(']');
        if (close == std::string_view::npos || close + 1 >= rest.size() || rest[close + 1] != ':')
            return fail(ErrorCode::DestinationIpv6Bad);
        d.host = std::string(rest.substr(1, close - 1));
        portText = rest.substr(close + 2);
    } else {
        const auto colon = rest.rfind(':');
        if (colon == std::string_view::npos)
            return fail(ErrorCode::DestinationNoPort);
        d.host = std::string(rest.substr(0, colon));
        portText = rest.substr(colon + 1);
    }
    if (d.host.empty() || d.host.find_first_of(" \t@/") != std::string::npos)
        return fail(ErrorCode::DestinationNoHost);
    unsigned port = 0;
    auto [end, ec] = std::from_chars(portText.data(), portText.data() + portText.size(), port);
    if (ec != std::errc() || end != portText.data() + portText.size() || port == 0 || port > 65535)
        return fail(ErrorCode::DestinationPortBad);
    d.port = static_cast<std::uint16_t>(port);
    return d;
}

std::string destinationText(const Destination& d) {
    const bool ipv6 = d.host.find(':') != std::string::npos;
    return d.aeTitle + "@" + (ipv6 ? "[" + d.host + "]" : d.host) + ":" + std::to_string(d.port);
}

std::vector<StoreOutcome> storeFiles(const Destination& destination, const std::vector<fs::path>& files,
                                     const NetworkOptions& options) {
    if (files.empty())
        return {};
    ignoreFailure(dicom::detail::prepareDcmtk(), "DCMTK's own lines stay quiet; the outcomes say what happened");
    std::vector<std::string> sopClasses;
    std::vector<StoreOutcome> outcomes(files.size());
    for (std::size_t i = 0; i < files.size(); ++i) {
        sopClasses.push_back(sopClassOf(files[i]));
        if (sopClasses.back().empty())
            outcomes[i].message =
                "ファイル（" + files[i].filename().string() + "）を DICOM ファイルとして読めません";
    }

    DcmSCU scu;
    scu.setAETitle(options.callingAeTitle.c_str());
    scu.setPeerAETitle(destination.aeTitle.c_str());
    scu.setPeerHostName(destination.host.c_str());
    scu.setPeerPort(destination.port);
    scu.setConnectionTimeout(static_cast<Sint32>(options.connectTimeout.count()));
    scu.setDIMSEBlockingMode(DIMSE_NONBLOCKING);
    scu.setDIMSETimeout(static_cast<Uint32>(options.messageTimeout.count()));
    scu.setACSETimeout(static_cast<Uint32>(options.messageTimeout.count()));
    OFList<OFString> syntaxes;
    syntaxes.push_back(UID_LittleEndianExplicitTransferSyntax);
    syntaxes.push_back(UID_LittleEndianImplicitTransferSyntax);
    std::vector<std::string> proposed;
    for (const auto& sopClass : sopClasses)
        if (!sopClass.empty() && std::find(proposed.begin(), proposed.end(), sopClass) == proposed.end()) {
            proposed.push_back(sopClass);
            scu.addPresentationContext(sopClass.c_str(), syntaxes);
        }
    if (proposed.empty())
        return outcomes;
    const std::string peer = destinationText(destination);
    if (OFCondition c = scu.initNetwork(); c.bad())
        return allFailed(files.size(), "ネットワークを使えません: " + std::string(c.text()));
    if (OFCondition c = scu.negotiateAssociation(); c.bad())
        return allFailed(files.size(), peer + " と接続できません: " + std::string(c.text()));

    bool connected = true;
    for (std::size_t i = 0; i < files.size(); ++i) {
        if (sopClasses[i].empty())
            continue;
        if (!connected) {
            outcomes[i].message = peer + " との接続が途中で切れました";
            continue;
        }
        const T_ASC_PresentationContextID context =
            scu.findAnyPresentationContextID(sopClasses[i].c_str(), UID_LittleEndianExplicitTransferSyntax);
        if (context == 0) {
            outcomes[i].message =
                peer + " はこの種類の DICOM オブジェクト（" + sopClasses[i] + "）を受け付けません";
            continue;
        }
        Uint16 status = 0;
        const OFCondition sent = scu.sendSTORERequest(context, dcmtkFileName(files[i]), nullptr, status);
        if (sent.bad()) {
            outcomes[i].message = peer + " への送信に失敗しました: " + std::string(sent.text());
            connected = scu.isConnected();
            continue;
        }
        outcomes[i].status = status;
        outcomes[i].acknowledged =
            status == 0x0000 || status == 0xB000 || status == 0xB006 || status == 0xB007;
        if (status != 0x0000)
            outcomes[i].message = (outcomes[i].acknowledged ? "警告付きで保存されました（状態 "
                                                            : "保存されませんでした（状態 ") +
                                  statusHex(status) + "）";
    }
    if (connected)
        scu.releaseAssociation();
    return outcomes;
}

} // namespace tamso::node
