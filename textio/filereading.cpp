#include "textio/filereading.h"

#include "textio/codec.h"
#include "textio/filenames.h"

#include <cerrno>
#include <fstream>
#include <sstream>
#include <system_error>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace tamso::textio {
namespace {

Error notRegular(const fs::path& path) {
    return Error(ErrorCode::NotARegularFile, {fileNameUtf8(path)});
}

// How a bounded read of a regular file ended.
enum class ReadOutcome { Read, CannotOpen, NotRegular, Failed };

#ifdef _WIN32

// Reads at most maxBytes + 1 bytes of a regular file. Names of devices cannot be record or
// reference files on Windows (the program refuses them as IDs), so a file stream serves.
ReadOutcome readBounded(const fs::path& path, std::uintmax_t maxBytes, std::string& bytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in.is_open())
        return ReadOutcome::CannotOpen;
    char buffer[65536];
    while (in && bytes.size() <= maxBytes) {
        in.read(buffer, sizeof buffer);
        bytes.append(buffer, static_cast<size_t>(in.gcount()));
    }
    return in.bad() ? ReadOutcome::Failed : ReadOutcome::Read;
}

#else

// Reads at most maxBytes + 1 bytes of a regular file. Opened without waiting (a named pipe put in
// its place opens at once instead of waiting for a writer) and refused unless what was opened is a
// regular file.
ReadOutcome readBounded(const fs::path& path, std::uintmax_t maxBytes, std::string& bytes) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return ReadOutcome::CannotOpen;
    struct stat opened {};
    if (::fstat(fd, &opened) != 0 || !S_ISREG(opened.st_mode)) {
        ::close(fd);
        return ReadOutcome::NotRegular;
    }
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0)
        (void)::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    if (opened.st_size > 0 && static_cast<std::uintmax_t>(opened.st_size) <= maxBytes)
        bytes.reserve(static_cast<size_t>(opened.st_size));
    char buffer[65536];
    while (bytes.size() <= maxBytes) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            ::close(fd);
            return ReadOutcome::Failed;
        }
        if (got == 0)
            break;
        bytes.append(buffer, static_cast<size_t>(got));
    }
    ::close(fd);
    return ReadOutcome::Read;
}

#endif

} // namespace

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
        return Error(ErrorCode::FileMissing, {fileNameUtf8(path)});
    if (fs::is_directory(path, ec))
        return Error(ErrorCode::NotAFile, {fileNameUtf8(path)});
    std::ifstream in(path, std::ios::binary);
    if (!in.is_open())
        return Error(ErrorCode::FileCannotOpen, {fileNameUtf8(path)});
    std::ostringstream buffer;
    buffer << in.rdbuf();
    if (in.bad())
        return Error(ErrorCode::FileCannotRead, {fileNameUtf8(path)});
    return buffer.str();
}

Expected<std::string> readRegularFileBytes(const fs::path& path, std::uintmax_t maxBytes) {
    std::error_code ec;
    const fs::file_status status = fs::status(path, ec); // follows links
    if (status.type() == fs::file_type::not_found)
        return Error(ErrorCode::FileMissing, {fileNameUtf8(path)});
    if (ec)
        return Error(ErrorCode::FileCannotOpen, {fileNameUtf8(path)});
    if (status.type() == fs::file_type::directory)
        return Error(ErrorCode::NotAFile, {fileNameUtf8(path)});
    if (status.type() != fs::file_type::regular)
        return notRegular(path);
    const std::uintmax_t size = fs::file_size(path, ec);
    if (!ec && size > maxBytes)
        return Error(ErrorCode::FileTooLarge, {fileNameUtf8(path), std::to_string(size), std::to_string(maxBytes)});
    // Opened and checked again as opened: what the name stands for may have been replaced since
    // (by a named pipe, a link to a device), and nothing may wait for a writer or read without end.
    std::string bytes;
    switch (readBounded(path, maxBytes, bytes)) {
    case ReadOutcome::Read:
        break;
    case ReadOutcome::CannotOpen:
        return Error(ErrorCode::FileCannotOpen, {fileNameUtf8(path)});
    case ReadOutcome::NotRegular:
        return notRegular(path);
    case ReadOutcome::Failed:
        return Error(ErrorCode::FileCannotRead, {fileNameUtf8(path)});
    }
    // The bound holds also for a file that grew since its size was taken, or tells none.
    if (bytes.size() > maxBytes)
        return Error(ErrorCode::FileGrewTooLarge, {fileNameUtf8(path), std::to_string(maxBytes)});
    return bytes;
}

namespace {

// Shift-JIS lead and trail bytes, to step through a line character by character.
bool isSjisLead(unsigned char c) {
    return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}
bool isSjisTrail(unsigned char c) {
    return c >= 0x40 && c <= 0xFC && c != 0x7F;
}

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
        if (auto text = sjisToUtf8(line.substr(0, ends[middle - 1])); text.ok()) {
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
    if (auto whole = sjisToUtf8(sjis); whole.ok())
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
        if (auto text = sjisToUtf8(line); text.ok()) {
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

Expected<std::string> readTextFile(const fs::path& path, std::uintmax_t maxBytes) {
    auto bytes = readRegularFileBytes(path, maxBytes);
    if (!bytes.ok())
        return bytes.error();
    auto text = sjisToUtf8(*bytes);
    if (!text.ok())
        return Error(ErrorCode::FileUnreadableText, {fileNameUtf8(path), text.error().message()});
    return text;
}

FileStamp fileStamp(const fs::path& file) {
    FileStamp s;
    std::error_code ec;
    s.time = fs::last_write_time(file, ec);
    if (ec)
        return s;
    s.size = fs::file_size(file, ec);
    s.exists = !ec;
    return s;
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
