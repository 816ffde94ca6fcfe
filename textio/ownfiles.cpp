#include "textio/ownfiles.h"

#include "textio/fileio.h"

#include <algorithm>
#include <optional>
#include <system_error>

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#endif

namespace tamso::textio {

const std::vector<std::string_view>& workingFolderFilePatterns() {
    // Kept with the table of the working folder in the README.
    static const std::vector<std::string_view> patterns = {
        "基礎データ.dat",  "tamso_output.op",   "mono_dBSF.dat",   "Atten2.dat",
        "s_p_ratio.dat",    "kaijo_dose.dat",    "撮影部位.txt",    "参考線量.dat",
        "撮影担当.txt",     "DICOM撮影部位.txt", "Beam_data.dat",   "*.pat",
        "*.pat.lock",       "*.withdrawn",       "被写体厚既定値.txt", "tamso-node.conf",
        "受信記録.csv",     "tamso-node/",       "線量レポート/",   "device-uid.txt",
        "撮影部位コード.txt", "臓器線量.dat",     "体重既定値.txt",
    };
    return patterns;
}

std::string comparableFileName(std::string_view name) {
    std::string comparable(name.substr(0, name.find(':')));
    while (!comparable.empty() && (comparable.back() == '.' || comparable.back() == ' '))
        comparable.pop_back();
    for (char& c : comparable)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return comparable;
}

namespace {

bool isFolderPattern(std::string_view pattern) {
    return !pattern.empty() && pattern.back() == '/';
}

bool endsWith(std::string_view text, std::string_view ending) {
    return text.size() >= ending.size() && text.substr(text.size() - ending.size()) == ending;
}

// Whether a comparable name is the name of one of the folder patterns.
bool isOwnFolderName(const std::string& comparable) {
    for (std::string_view pattern : workingFolderFilePatterns())
        if (isFolderPattern(pattern) && comparable == comparableFileName(pattern.substr(0, pattern.size() - 1)))
            return true;
    return false;
}

// The temporary file of a replacement: "." + target + ".tmp-" + 16 hexadecimal digits.
bool isTemporaryForm(std::string_view name) {
    constexpr std::string_view infix = ".tmp-";
    const size_t at = name.rfind(infix);
    return !name.empty() && name.front() == '.' && at != std::string_view::npos &&
           name.size() == at + infix.size() + 16;
}

// The components of a path after its root, each in UTF-8.
std::vector<std::string> componentsAfterRoot(const fs::path& path) {
    std::vector<std::string> parts;
    for (const fs::path& part : path.relative_path())
        parts.push_back(pathUtf8(part));
    return parts;
}

// Why the path is one of the working folder's own files or in one of their folders; nothing when
// it is neither.
std::optional<std::string> ownFileReason(const fs::path& path) {
    const std::vector<std::string> parts = componentsAfterRoot(path);
    for (size_t i = 0; i + 1 < parts.size(); ++i)
        if (isOwnFolderName(comparableFileName(parts[i])))
            return "作業フォルダの「" + parts[i] + "」フォルダの中です";
    if (!parts.empty() && isWorkingFolderFileName(parts.back()))
        return std::string("作業フォルダのデータファイルや患者ファイルと同じ名前です");
    return std::nullopt;
}

// Whether `inner` is `outer` or lies in it, component by component, names compared as
// comparableFileName compares them. Both are absolute and free of links and "..".
bool isSameOrWithin(const fs::path& inner, const fs::path& outer) {
    if (comparableFileName(pathUtf8(inner.root_name())) != comparableFileName(pathUtf8(outer.root_name())))
        return false;
    const std::vector<std::string> in = componentsAfterRoot(inner);
    std::vector<std::string> out = componentsAfterRoot(outer);
    while (!out.empty() && out.back().empty()) // a trailing separator
        out.pop_back();
    if (out.size() > in.size())
        return false;
    for (size_t i = 0; i < out.size(); ++i)
        if (comparableFileName(in[i]) != comparableFileName(out[i]))
            return false;
    return true;
}

// The path with links resolved as far as it exists, absolute and without "." and "..".
fs::path resolved(const fs::path& path) {
    std::error_code ec;
    fs::path full = fs::weakly_canonical(path, ec);
    if (ec)
        full = fs::absolute(path, ec);
    return full.lexically_normal();
}

// Platform layer: the long name of an existing file where the path may use a short one
// ("BEAM_D~1.DAT" for "Beam_data.dat" on Windows); the path itself elsewhere.
#ifdef _WIN32
fs::path longName(const fs::path& path) {
    std::wstring buffer(32768, L'\0');
    const DWORD length = ::GetLongPathNameW(path.c_str(), buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0 || length >= buffer.size())
        return path;
    buffer.resize(length);
    return fs::path(buffer);
}

// Names Windows keeps for devices ("NUL", "con.csv", "COM1.txt"), whatever the extension.
bool isWindowsDeviceName(std::string_view name) {
    std::string base = comparableFileName(name.substr(0, name.find('.')));
    for (const char* device : {"con", "prn", "aux", "nul", "conin$", "conout$"})
        if (base == device)
            return true;
    return base.size() == 4 && base[3] >= '0' && base[3] <= '9' &&
           (base.substr(0, 3) == "com" || base.substr(0, 3) == "lpt");
}
#else
fs::path longName(const fs::path& path) {
    return path;
}
#endif
// End of the platform layer.

Error exportRefused(const fs::path& target, const std::string& why) {
    return Error(ErrorCode::ExportRefused, {fileNameUtf8(target), why});
}

// Why the export may not go to the target because the command reads it; nothing when it may.
std::optional<std::string> inputReason(const fs::path& target, const std::vector<fs::path>& inputs) {
    const fs::path full = resolved(target);
    for (const fs::path& input : inputs) {
        std::error_code ec;
        const bool folder = fs::is_directory(input, ec);
        const fs::path inputFull = resolved(input);
        if (folder && isSameOrWithin(full, inputFull))
            return "読み込むフォルダ「" + fileNameUtf8(inputFull) + "」の中です";
        if (!folder && (isSameOrWithin(full, inputFull) || fs::equivalent(target, input, ec)))
            return std::string("読み込むファイルです");
    }
    return std::nullopt;
}

} // namespace

bool isWorkingFolderFileName(std::string_view utf8Name) {
    const std::string name = comparableFileName(utf8Name);
    if (name.empty())
        return false;
    for (std::string_view pattern : workingFolderFilePatterns()) {
        if (isFolderPattern(pattern))
            continue;
        const bool matches = pattern.front() == '*' ? endsWith(name, comparableFileName(pattern.substr(1)))
                                                    : name == comparableFileName(pattern);
        if (matches)
            return true;
    }
    return isOwnFolderName(name) || isTemporaryForm(name);
}

bool isWorkingFolderPath(const fs::path& path) {
    return ownFileReason(path).has_value();
}

Status checkExportTarget(const fs::path& target, const std::vector<fs::path>& inputs) {
    const std::string name = fileNameUtf8(target);
    if (comparableFileName(name).empty() || name == "." || name == "..")
        return exportRefused(target, "ファイル名がありません");
    std::error_code ec;
    if (auto why = ownFileReason(fs::absolute(target, ec).lexically_normal()))
        return exportRefused(target, *why);
#ifdef _WIN32
    if (isWindowsDeviceName(name))
        return exportRefused(target, "機器の名前です");
#endif
    if (auto why = inputReason(target, inputs))
        return exportRefused(target, *why);
    const fs::file_status own = fs::symlink_status(target, ec);
    const bool exists = own.type() != fs::file_type::not_found;
    if (exists && ec)
        return exportRefused(target, "ファイルの種類を調べられません");
    // Where links lead (the file's own or its folders'), under the name the system keeps for it.
    if (auto why = ownFileReason(resolved(exists ? longName(target) : target)))
        return exportRefused(target, (fs::is_symlink(own) ? "リンク先が" : "実際の場所が") + *why);
    if (!exists)
        return {}; // a new name
    const fs::file_status led = fs::status(target, ec); // through a link
    if (fs::is_symlink(own) && led.type() == fs::file_type::not_found)
        return exportRefused(target, "リンク先がありません");
    switch (led.type()) {
    case fs::file_type::regular:
        return {};
    case fs::file_type::directory:
        return exportRefused(target, "フォルダです");
    default:
        return exportRefused(target,
                             "通常のファイルではありません。デバイスや名前付きパイプには書き出せません");
    }
}

Status writeExportFile(const fs::path& target, std::string_view bytes) {
    if (Status allowed = checkExportTarget(target); !allowed.ok())
        return allowed;
    return writeFileAtomic(target, bytes);
}

} // namespace tamso::textio
