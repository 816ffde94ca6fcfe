#include "node/nodeconfig.h"

#include "textio/fileio.h"

#include <algorithm>
#include <cctype>
#include <map>

namespace tamso::node {
namespace {

std::string trim(const std::string& text) {
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

struct Setting {
    std::string value;
    std::string origin; // "--key" or "FILE line N", for messages
    fs::path base;      // the folder relative paths are taken from
};

std::optional<long long> wholeNumber(const std::string& text) {
    if (text.empty() || text.size() > 12 ||
        !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    return std::stoll(text);
}

Status readConfigFile(const fs::path& file, std::map<std::string, Setting>& settings) {
    auto bytes = textio::readRegularFileBytes(file, 1 << 20);
    if (!bytes.ok())
        return bytes.error();
    std::string text = *bytes;
    if (text.rfind("\xEF\xBB\xBF", 0) == 0)
        text.erase(0, 3);
    const std::vector<std::string> lines = textio::splitLines(text);
    const std::string name = file.u8string();
    for (size_t n = 0; n < lines.size(); ++n) {
        const std::string line = trim(lines[n]);
        if (line.empty() || line[0] == '#')
            continue;
        const std::string where = name + " line " + std::to_string(n + 1);
        const auto eq = line.find('=');
        if (eq == std::string::npos)
            return Error(ErrorCode::ConfigLineNotKeyValue, {where});
        const std::string key = trim(line.substr(0, eq));
        const bool known = std::any_of(nodeConfigKeys().begin(), nodeConfigKeys().end(),
                                       [&](const auto& k) { return k.first == key; });
        if (!known || key == "config")
            return Error(ErrorCode::ConfigKeyUnknown, {where, key});
        const std::string value = trim(line.substr(eq + 1));
        if (auto it = settings.find(key); key == "forward" && it != settings.end() && !value.empty())
            it->second.value += "," + value; // several lines, several destinations
        else
            settings[key] = {value, where, file.parent_path()};
    }
    return {};
}

// The destinations of "forward": AET@HOST:PORT separated by commas, each once.
Expected<std::vector<Destination>> destinations(const Setting& setting) {
    std::vector<Destination> list;
    std::string rest = setting.value;
    while (!rest.empty()) {
        const auto comma = rest.find(',');
        const std::string text = trim(rest.substr(0, comma));
        rest = comma == std::string::npos ? std::string() : rest.substr(comma + 1);
        if (text.empty())
            continue;
        auto destination = parseDestination(text);
        if (!destination.ok())
            return Error(ErrorCode::SettingProblem, {setting.origin, destination.error().message()});
        if (std::find(list.begin(), list.end(), *destination) == list.end())
            list.push_back(*destination);
    }
    return list;
}

Expected<bool> yesOrNo(const Setting& setting) {
    std::string value = setting.value;
    std::transform(value.begin(), value.end(), value.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (value == "yes" || value == "true" || value == "1")
        return true;
    if (value == "no" || value == "false" || value == "0" || value.empty())
        return false;
    return Error(ErrorCode::ConfigNotYesNo, {setting.origin, setting.value});
}

// The keys the reports take from the settings.
Status readReportKeys(const std::map<std::string, Setting>& settings, std::vector<Destination>& forward,
                      bool& besideRecords, std::chrono::seconds& reportDelay) {
    if (auto it = settings.find("report-delay"); it != settings.end() && !it->second.value.empty()) {
        const auto n = wholeNumber(it->second.value);
        if (!n || *n < 0 || *n > 86400)
            return Error(ErrorCode::ConfigDelayBad, {it->second.origin, it->second.value});
        reportDelay = std::chrono::seconds(*n);
    }
    if (auto it = settings.find("forward"); it != settings.end()) {
        auto list = destinations(it->second);
        if (!list.ok())
            return list.error();
        forward = *list;
    }
    if (auto it = settings.find("reports-beside-records"); it != settings.end()) {
        auto beside = yesOrNo(it->second);
        if (!beside.ok())
            return beside.error();
        besideRecords = *beside;
    }
    return {};
}

} // namespace

const std::vector<std::pair<std::string, std::string>>& nodeConfigKeys() {
    static const std::vector<std::pair<std::string, std::string>> keys = {
        {"workdir",
         "DIR       the working folder (reference data, record files); default: the current folder"},
        {"port", "PORT         DICOM port (plain TCP)"},
        {"tls-port", "PORT     DICOM port with TLS (needs tls-certificate and tls-private-key)"},
        {"aet", "TITLE          this node's AE title (default TAMSO)"},
        {"allow", "AET[,AET...] calling AE titles that may send; empty: none may"},
        {"config", "FILE       configuration file (default: tamso-node.conf in the working folder)"},
        {"tls-certificate", "FILE  this node's certificate (PEM)"},
        {"tls-private-key", "FILE  its private key (PEM, without passphrase)"},
        {"tls-trusted-certificates", "FILE  CA or client certificates (PEM); given: senders must "
                                     "present a certificate signed by one of them"},
        {"max-associations", "N  associations at once (default 8)"},
        {"max-associations-per-host", "N  associations at once from one calling host (default 4); the "
                                      "last free association is kept for a host that has none"},
        {"max-object-mb", "N     largest image accepted, in MiB (default 64)"},
        {"request-timeout", "S   seconds a connection may take for its TLS handshake and association "
                            "request, at each read (default 10)"},
        {"idle-timeout", "S      seconds an association may send no command before it is closed (default 30)"},
        {"dimse-timeout", "S     seconds a sender may pause within an image before its association is ended "
                          "(default 30)"},
        {"forward", "AET@HOST:PORT[,...]  send the dose report of each recorded exposure there by "
                    "C-STORE (may be given more than once)"},
        {"reports-beside-records", "yes|no  also keep each dose report in DIR/線量レポート (default no)"},
        {"report-delay", "SECONDS  send a study's dose report once the study has been quiet this long "
                         "(default 600; 0: at once)"},
    };
    return keys;
}

bool isValidAeTitle(const std::string& title) {
    if (title.empty() || title.size() > 16)
        return false;
    if (std::all_of(title.begin(), title.end(), [](char c) { return c == ' '; }))
        return false;
    return std::all_of(title.begin(), title.end(), [](char c) {
        const auto u = static_cast<unsigned char>(c);
        return u >= 0x20 && u < 0x7F && c != '\\';
    });
}

namespace {

using Settings = std::map<std::string, Setting>;

// The options of the command line, by key (--forward may come several times).
Expected<Settings> readCommandLine(const std::vector<std::string>& args) {
    Settings given;
    for (size_t i = 0; i < args.size(); ++i) {
        std::string key = args[i];
        if (key.rfind("--", 0) != 0)
            return Error(ErrorCode::ArgumentUnexpected, {key});
        key.erase(0, 2);
        std::string value;
        if (const auto eq = key.find('='); eq != std::string::npos) {
            value = key.substr(eq + 1);
            key.erase(eq);
        } else if (i + 1 < args.size()) {
            value = args[++i];
        } else {
            return Error(ErrorCode::OptionNeedsValue, {key});
        }
        const bool known = std::any_of(nodeConfigKeys().begin(), nodeConfigKeys().end(),
                                       [&](const auto& k) { return k.first == key; });
        if (!known)
            return Error(ErrorCode::OptionUnknown, {key});
        if (auto it = given.find(key); key == "forward" && it != given.end())
            it->second.value += "," + value; // --forward A --forward B
        else
            given[key] = {value, "--" + key, fs::path()};
    }
    return given;
}

// The configuration file's settings (--config, else the working folder's), the command line's over
// them; sets the working folder and the configuration file.
Expected<Settings> mergeConfigFile(const Settings& given, NodeConfig& config) {
    if (auto it = given.find("workdir"); it != given.end())
        config.workFolder = fs::u8path(it->second.value);
    Settings settings;
    if (auto it = given.find("config"); it != given.end()) {
        config.configFile = fs::u8path(it->second.value);
        std::error_code ec;
        if (!fs::exists(config.configFile, ec))
            return Error(ErrorCode::ConfigFileMissing, {it->second.value});
    } else {
        const fs::path standard = config.workFolder / kConfigFileName;
        std::error_code ec;
        if (fs::exists(standard, ec))
            config.configFile = standard;
    }
    if (!config.configFile.empty())
        if (auto e = readConfigFile(config.configFile, settings); !e.ok())
            return e.error();
    for (const auto& [key, setting] : given) // the command line wins
        settings[key] = setting;
    if (auto it = settings.find("workdir"); it != settings.end())
        config.workFolder = it->second.base.empty() ? fs::u8path(it->second.value)
                                                    : it->second.base / fs::u8path(it->second.value);
    return settings;
}

Expected<std::optional<std::uint16_t>> portSetting(const Settings& settings, const char* key) {
    const auto it = settings.find(key);
    if (it == settings.end() || it->second.value.empty())
        return std::optional<std::uint16_t>();
    const auto n = wholeNumber(it->second.value);
    if (!n || *n < 1 || *n > 65535)
        return Error(ErrorCode::ConfigPortBad, {it->second.origin, it->second.value});
    return std::optional<std::uint16_t>(static_cast<std::uint16_t>(*n));
}

Status readPorts(const Settings& settings, NodeConfig& config) {
    auto plain = portSetting(settings, "port");
    if (!plain.ok())
        return plain.error();
    config.port = *plain;
    auto tls = portSetting(settings, "tls-port");
    if (!tls.ok())
        return tls.error();
    config.tlsPort = *tls;
    if (!config.port && !config.tlsPort)
        return Error(ErrorCode::PortNotGiven);
    if (config.port && config.tlsPort && *config.port == *config.tlsPort)
        return Error(ErrorCode::PortsEqual);
    return {};
}

// Our AE title and the calling AE titles allowed.
Status readAeTitles(const Settings& settings, NodeConfig& config) {
    if (auto it = settings.find("aet"); it != settings.end()) {
        if (!isValidAeTitle(it->second.value))
            return Error(ErrorCode::ConfigAeTitleBad, {it->second.origin, it->second.value});
        config.aeTitle = it->second.value;
    }
    if (auto it = settings.find("allow"); it != settings.end()) {
        std::string rest = it->second.value;
        while (!rest.empty()) {
            const auto comma = rest.find(',');
            const std::string title = trim(rest.substr(0, comma));
            rest = comma == std::string::npos ? std::string() : rest.substr(comma + 1);
            if (title.empty())
                continue;
            if (!isValidAeTitle(title))
                return Error(ErrorCode::ConfigAeTitleBad, {it->second.origin, title});
            config.allowedCallers.push_back(title);
        }
    }
    return {};
}

// A file a setting names: relative to the configuration file's folder where it comes from there.
fs::path pathSetting(const Settings& settings, const char* key) {
    const auto it = settings.find(key);
    if (it == settings.end() || it->second.value.empty())
        return fs::path();
    const fs::path p = fs::u8path(it->second.value);
    return it->second.base.empty() || p.is_absolute() ? p : it->second.base / p;
}

template <typename Target>
Status numberSetting(const Settings& settings, const char* key, long long low, long long high, Target& target) {
    const auto it = settings.find(key);
    if (it == settings.end() || it->second.value.empty())
        return {};
    const auto n = wholeNumber(it->second.value);
    if (!n || *n < low || *n > high)
        return Error(ErrorCode::ConfigNumberOutOfRange,
                     {it->second.origin, std::to_string(low), std::to_string(high), it->second.value});
    target = static_cast<Target>(*n);
    return {};
}

// The limits of associations and objects and the timeouts.
Status readLimits(const Settings& settings, NodeConfig& config) {
    long long objectMb = static_cast<long long>(config.maxObjectBytes >> 20);
    if (auto e = numberSetting(settings, "max-associations", 1, 200, config.maxAssociations); !e.ok())
        return e;
    if (auto e = numberSetting(settings, "max-associations-per-host", 1, 200, config.maxAssociationsPerHost); !e.ok())
        return e;
    if (auto e = numberSetting(settings, "request-timeout", 1, 300, config.requestTimeoutSeconds); !e.ok())
        return e;
    if (auto e = numberSetting(settings, "idle-timeout", 1, 3600, config.idleTimeoutSeconds); !e.ok())
        return e;
    if (auto e = numberSetting(settings, "max-object-mb", 1, 4000, objectMb); !e.ok())
        return e;
    config.maxObjectBytes = static_cast<std::uint64_t>(objectMb) << 20;
    return numberSetting(settings, "dimse-timeout", 1, 3600, config.dimseTimeoutSeconds);
}

} // namespace

Expected<NodeConfig> readNodeConfig(const std::vector<std::string>& args) {
    const auto given = readCommandLine(args);
    if (!given.ok())
        return given.error();
    NodeConfig config;
    const auto settings = mergeConfigFile(*given, config);
    if (!settings.ok())
        return settings.error();
    if (auto e = readPorts(*settings, config); !e.ok())
        return e.error();
    if (auto e = readAeTitles(*settings, config); !e.ok())
        return e.error();
    config.tlsCertificate = pathSetting(*settings, "tls-certificate");
    config.tlsPrivateKey = pathSetting(*settings, "tls-private-key");
    config.tlsTrustedCertificates = pathSetting(*settings, "tls-trusted-certificates");
    if (config.tlsPort && (config.tlsCertificate.empty() || config.tlsPrivateKey.empty()))
        return Error(ErrorCode::TlsPortNeedsKey);
    if (auto e = readLimits(*settings, config); !e.ok())
        return e.error();
    config.outbox.reportDelay = kDefaultReportDelay;
    if (auto e = readReportKeys(*settings, config.forward, config.reportsBesideRecords, config.outbox.reportDelay);
        !e.ok())
        return e.error();
    return config;
}

Expected<ReportSettings> readReportSettings(const fs::path& workFolder) {
    ReportSettings report;
    const fs::path file = workFolder / kConfigFileName;
    std::error_code ec;
    if (!fs::exists(file, ec))
        return report;
    std::map<std::string, Setting> settings;
    if (auto e = readConfigFile(file, settings); !e.ok())
        return e.error();
    report.configFile = file;
    if (auto it = settings.find("aet"); it != settings.end() && !it->second.value.empty()) {
        if (!isValidAeTitle(it->second.value))
            return Error(ErrorCode::ConfigAeTitleBad, {it->second.origin, it->second.value});
        report.aeTitle = it->second.value;
    }
    if (auto e = readReportKeys(settings, report.forward, report.besideRecords, report.reportDelay); !e.ok())
        return e.error();
    return report;
}

} // namespace tamso::node
