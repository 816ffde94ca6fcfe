#include "textio/fileio.h"

#include "textio/codec.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <random>
#include <sstream>
#include <system_error>
#include <vector>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <share.h>
#include <thread>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace tamso::textio {
namespace {

std::string quoted(const fs::path& path) { return "「" + fileNameUtf8(path) + "」"; }

// Flushes a written file to the disk so that the rename below publishes complete content.
bool syncToDisk(const fs::path& path) {
#ifdef _WIN32
    // _commit is FlushFileBuffers, which needs a handle opened for writing; nothing is truncated.
    int fd = -1;
    if (::_wsopen_s(&fd, path.c_str(), _O_WRONLY | _O_BINARY, _SH_DENYNO, 0) != 0 || fd < 0)
        return false;
    bool ok = ::_commit(fd) == 0;
    ::_close(fd);
    return ok;
#else
    int fd = ::open(path.c_str(), O_RDONLY);
    if (fd < 0)
        return false;
    bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
#endif
}

std::string temporaryName(const fs::path& target) {
    static std::atomic<unsigned> counter{0};
    std::random_device rd;
    auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    std::ostringstream name;
    name << '.' << "tamso-" << std::hex << (rd() ^ static_cast<unsigned>(stamp)) << '-' << counter++ << ".tmp";
    (void)target;
    return name.str();
}

} // namespace

fs::path fileInFolder(const fs::path& folder, std::string_view utf8Name) {
#if defined(_WIN32)
    return folder / fs::u8path(utf8Name.begin(), utf8Name.end());
#else
    return folder / fs::path(std::string(utf8Name)); // names on Linux are UTF-8 bytes
#endif
}

std::string fileNameUtf8(const fs::path& path) {
#if defined(_WIN32)
    const auto name = path.filename().u8string(); // std::string, or std::u8string from C++20 on
    return std::string(name.begin(), name.end());
#else
    return path.filename().string();
#endif
}

bool canOpenForReading(const fs::path& path) {
    std::error_code ec;
    if (!fs::is_regular_file(path, ec))
        return false;
    std::ifstream in(path, std::ios::binary);
    return in.is_open();
}

Expected<std::string> readFileBytes(const fs::path& path) {
    std::error_code ec;
    if (!fs::exists(path, ec))
        return Error{"ファイル" + quoted(path) + "が見つかりません。"};
    if (fs::is_directory(path, ec))
        return Error{quoted(path) + "はファイルではありません。"};
    std::ifstream in(path, std::ios::binary);
    if (!in.is_open())
        return Error{"ファイル" + quoted(path) + "を開けません。"};
    std::ostringstream buffer;
    buffer << in.rdbuf();
    if (in.bad())
        return Error{"ファイル" + quoted(path) + "を読み込めません。"};
    return buffer.str();
}

Expected<std::string> readRegularFileBytes(const fs::path& path, std::uintmax_t maxBytes) {
    std::error_code ec;
    const fs::file_status status = fs::status(path, ec); // follows links
    if (status.type() == fs::file_type::not_found)
        return Error{"ファイル" + quoted(path) + "が見つかりません。"};
    if (ec)
        return Error{"ファイル" + quoted(path) + "を開けません。"};
    if (status.type() == fs::file_type::directory)
        return Error{quoted(path) + "はファイルではありません。"};
    if (status.type() != fs::file_type::regular)
        return Error{quoted(path) +
                     "は通常のファイルではありません（デバイスや名前付きパイプなどは読み込みません）。"};
    const std::uintmax_t size = fs::file_size(path, ec);
    if (!ec && size > maxBytes)
        return Error{"ファイル" + quoted(path) + "が大きすぎます（" + std::to_string(size) +
                     " バイト。このファイルは " + std::to_string(maxBytes) + " バイトまでです）。"};
    std::ifstream in(path, std::ios::binary);
    if (!in.is_open())
        return Error{"ファイル" + quoted(path) + "を開けません。"};
    // Read with a bound as well: the file may have grown since, or report no size at all.
    std::string bytes;
    char buffer[65536];
    while (in && bytes.size() <= maxBytes) {
        in.read(buffer, sizeof buffer);
        bytes.append(buffer, static_cast<size_t>(in.gcount()));
    }
    if (in.bad())
        return Error{"ファイル" + quoted(path) + "を読み込めません。"};
    if (bytes.size() > maxBytes)
        return Error{"ファイル" + quoted(path) + "が大きすぎます（このファイルは " +
                     std::to_string(maxBytes) + " バイトまでです）。"};
    return bytes;
}

namespace {

// Shift-JIS lead and trail bytes, to step through a line character by character.
bool isSjisLead(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }
bool isSjisTrail(unsigned char c) { return c >= 0x40 && c <= 0xFC && c != 0x7F; }

// The UTF-8 of the longest run of whole characters at the start of the line that converts.
std::string convertibleStart(std::string_view line) {
    std::vector<size_t> ends; // byte offset after each character
    for (size_t i = 0; i < line.size();) {
        const bool pair = isSjisLead(static_cast<unsigned char>(line[i])) && i + 1 < line.size() &&
                          isSjisTrail(static_cast<unsigned char>(line[i + 1]));
        i += pair ? 2 : 1;
        ends.push_back(i);
    }
    // Whether a prefix converts does not get better with length once it fails: halve the range.
    size_t good = 0;          // characters known to convert
    size_t bad = ends.size(); // a count known not to convert
    std::string best;
    while (good + 1 < bad) {
        const size_t middle = good + (bad - good) / 2;
        if (auto text = sjisToUtf8(line.substr(0, ends[middle - 1]))) {
            good = middle;
            best = std::move(*text);
        } else {
            bad = middle;
        }
    }
    return best;
}

} // namespace

std::string sjisToUtf8MarkingUnreadable(std::string_view sjis) {
    if (auto whole = sjisToUtf8(sjis))
        return std::move(*whole);
    // CR and LF never occur inside a Shift-JIS character, so the text can be taken line by line.
    std::string out;
    size_t start = 0;
    while (start < sjis.size()) {
        size_t end = sjis.find_first_of("\r\n", start);
        if (end == std::string_view::npos)
            end = sjis.size();
        size_t next = end; // after the line end: CR LF, CR or LF
        if (next < sjis.size())
            next += sjis[next] == '\r' && next + 1 < sjis.size() && sjis[next + 1] == '\n' ? 2 : 1;
        const std::string_view line = sjis.substr(start, end - start);
        if (auto text = sjisToUtf8(line)) {
            out += *text;
        } else {
            out += convertibleStart(line);
            out += kUnreadableMark;
        }
        out.append(sjis.data() + end, next - end);
        start = next;
    }
    return out;
}

Expected<std::string> readTextFile(const fs::path& path) {
    auto bytes = readFileBytes(path);
    if (!bytes)
        return bytes.error();
    auto text = sjisToUtf8(*bytes);
    if (!text)
        return Error{"ファイル" + quoted(path) + "を読み込めません: " + text.error().message + "。"};
    return text;
}

Status writeFileAtomic(const fs::path& path, std::string_view bytes, Durability durability) {
    const fs::path folder = path.has_parent_path() ? path.parent_path() : fs::path(".");
    const fs::path temp = folder / temporaryName(path);
    const std::string failure = "ファイル" + quoted(path) + "に書き込めません";
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        if (!out.is_open())
            return Error{failure + "（フォルダに書き込みできません）。"};
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        out.flush();
        if (!out) {
            out.close();
            std::error_code ignored;
            fs::remove(temp, ignored);
            return Error{failure + "（ディスクがいっぱいか、書き込みに失敗しました）。"};
        }
    }
    if (durability == Durability::Synced && !syncToDisk(temp)) {
        std::error_code ignored;
        fs::remove(temp, ignored);
        return Error{failure + "（ディスクへの書き込みに失敗しました）。"};
    }
    // Replaces an existing target (MoveFileExW with MOVEFILE_REPLACE_EXISTING on Windows).
    std::error_code ec;
    fs::rename(temp, path, ec);
#ifdef _WIN32
    // A virus scanner or indexer that has just opened the new file makes the replacement fail
    // for a moment; a target that is in use or read-only still fails after the last try.
    for (int attempt = 0; ec && attempt < 10; ++attempt) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        fs::rename(temp, path, ec);
    }
#endif
    if (ec) {
        std::error_code ignored;
        fs::remove(temp, ignored);
        return Error{failure + "（ファイルが使用中か、書き込みが禁止されています）。"};
    }
    return std::nullopt;
}

Status writeTextLines(const fs::path& path, const std::vector<std::string>& utf8Lines, Durability durability) {
    std::string text;
    for (const auto& line : utf8Lines) {
        text += line;
        text += "\r\n";
    }
    auto sjis = utf8ToSjis(text);
    if (!sjis)
        return Error{"ファイル" + quoted(path) + "に書き込めません: " + sjis.error().message + "。"};
    return writeFileAtomic(path, *sjis, durability);
}

std::vector<std::string> splitLines(std::string_view text) {
    std::vector<std::string> lines;
    size_t start = 0;
    size_t i = 0;
    while (i < text.size()) {
        char c = text[i];
        if (c == '\r' || c == '\n') {
            lines.emplace_back(text.substr(start, i - start));
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
            start = ++i;
        } else {
            ++i;
        }
    }
    if (start < text.size())
        lines.emplace_back(text.substr(start));
    return lines;
}

} // namespace tamso::textio
