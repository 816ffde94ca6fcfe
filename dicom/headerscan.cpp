#include "dicom/headerscan.h"

#include <dcmtk/config/osconfig.h>

#include <dcmtk/dcmdata/dcistrmb.h>
#include <dcmtk/dcmdata/dcitem.h>
#include <dcmtk/dcmdata/dctag.h>
#include <dcmtk/dcmdata/dcvr.h>
#include <dcmtk/dcmdata/dcxfer.h>

#include <cctype>
#include <cstdio>
#include <fstream>
#include <optional>
#include <string_view>
#include <vector>

namespace tamso::dicom::detail {

namespace {

constexpr std::uint32_t kUndefinedLength = 0xFFFFFFFF;
constexpr std::uint64_t kNoEnd = ~std::uint64_t(0);

std::string tagText(std::uint16_t group, std::uint16_t element) {
    char text[16];
    std::snprintf(text, sizeof text, "(%04X,%04X)", group, element);
    return text;
}

// The file's bytes in order, read through a buffer; values are skipped by seeking.
class ByteSource {
public:
    explicit ByteSource(const std::filesystem::path& file) : in_(file, std::ios::binary) {
        std::error_code ec;
        size_ = std::filesystem::file_size(file, ec);
        if (ec)
            in_.setstate(std::ios::failbit);
    }
    bool good() const { return !in_.fail(); }
    std::uint64_t size() const { return size_; }
    std::uint64_t position() const { return position_; }
    std::uint64_t left() const { return size_ - position_; }

    // The next n bytes (n up to the buffer's size) without moving on; false where the file ends
    // first.
    bool peek(unsigned char* out, std::size_t n) {
        if (!fill(n))
            return false;
        std::copy(buffer_.begin() + static_cast<std::ptrdiff_t>(start_),
                  buffer_.begin() + static_cast<std::ptrdiff_t>(start_ + n), out);
        return true;
    }
    bool read(unsigned char* out, std::size_t n) {
        if (!peek(out, n))
            return false;
        start_ += n;
        position_ += n;
        return true;
    }
    // Moves on by n bytes; the caller has checked that the file holds them.
    void skip(std::uint64_t n) {
        const std::uint64_t buffered = end_ - start_;
        if (n <= buffered) {
            start_ += static_cast<std::size_t>(n);
        } else {
            start_ = end_ = 0;
            in_.clear();
            in_.seekg(static_cast<std::streamoff>(position_ + n));
        }
        position_ += n;
    }

private:
    bool fill(std::size_t n) {
        if (end_ - start_ >= n)
            return true;
        if (left() < n)
            return false;
        std::copy(buffer_.begin() + static_cast<std::ptrdiff_t>(start_),
                  buffer_.begin() + static_cast<std::ptrdiff_t>(end_), buffer_.begin());
        end_ -= start_;
        start_ = 0;
        in_.read(reinterpret_cast<char*>(buffer_.data() + end_),
                 static_cast<std::streamsize>(buffer_.size() - end_));
        end_ += static_cast<std::size_t>(in_.gcount());
        return end_ >= n;
    }

    std::ifstream in_;
    std::uint64_t size_ = 0;
    std::uint64_t position_ = 0;
    std::vector<unsigned char> buffer_ = std::vector<unsigned char>(65536);
    std::size_t start_ = 0;
    std::size_t end_ = 0;
};

struct Syntax {
    bool explicitVr = true;
    bool bigEndian = false;
};
constexpr Syntax kImplicitLittle{false, false};
constexpr Syntax kExplicitLittle{true, false};

std::uint16_t word(const unsigned char* b, bool bigEndian) {
    return static_cast<std::uint16_t>(bigEndian ? (b[0] << 8) | b[1] : b[0] | (b[1] << 8));
}
std::uint32_t doubleWord(const unsigned char* b, bool bigEndian) {
    return bigEndian
               ? (std::uint32_t(b[0]) << 24) | (std::uint32_t(b[1]) << 16) | (std::uint32_t(b[2]) << 8) | b[3]
               : b[0] | (std::uint32_t(b[1]) << 8) | (std::uint32_t(b[2]) << 16) |
                     (std::uint32_t(b[3]) << 24);
}

// DCMTK's own guess of the transfer syntax of a dataset without (usable) file meta information,
// from its first six bytes, so that the walk reads the dataset as the parser will.
class SyntaxProbe : public DcmItem {
public:
    E_TransferSyntax guess(const unsigned char* bytes, std::size_t count) {
        DcmInputBufferStream stream;
        stream.setBuffer(bytes, static_cast<offile_off_t>(count));
        stream.setEos();
        return checkTransferSyntax(stream);
    }
};

class Walker {
public:
    explicit Walker(ByteSource& in) : in_(in) {}
    const std::string& reason() const { return reason_; }

    // The file meta group (explicit VR little endian) from the current position: every element
    // of group 0002, their lengths bounded, the group length (where given) matching them.
    bool fileMeta(std::optional<std::string>& transferSyntax) {
        std::optional<std::uint32_t> groupLength;
        std::uint64_t groupStart = 0;
        unsigned char head[8];
        while (in_.peek(head, 4) && word(head, false) == 0x0002) {
            in_.read(head, 4);
            const std::uint16_t element = word(head + 2, false);
            const std::string tag = tagText(0x0002, element);
            if (!count())
                return false;
            if (!in_.read(head, 2))
                return truncated(tag);
            if (!standardVr(head))
                return fail("ファイルメタ情報 " + tag + " の VR '" + printable(head) +
                            "' は DICOM の VR ではありません");
            const char vrName[3] = {static_cast<char>(head[0]), static_cast<char>(head[1]), 0};
            const DcmVR vr(vrName);
            if (vr.getEVR() == EVR_SQ)
                return fail("ファイルメタ情報にシーケンス " + tag + " があります");
            std::uint32_t length = 0;
            if (vr.usesExtendedLengthEncoding()) {
                if (!in_.read(head, 6))
                    return truncated(tag);
                length = doubleWord(head + 2, false);
            } else {
                if (!in_.read(head, 2))
                    return truncated(tag);
                length = word(head, false);
            }
            if (length > kMaxFileMetaValueLength)
                return fail("ファイルメタ情報 " + tag + " の長さ " + std::to_string(length) +
                            " バイトは上限 " + std::to_string(kMaxFileMetaValueLength) +
                            " バイトを超えています");
            if (!fits(tag, length, kNoEnd))
                return false;
            if (element == 0x0000 && length == 4 && !groupLength) {
                in_.read(head, 4);
                groupLength = doubleWord(head, false);
                groupStart = in_.position();
            } else if (element == 0x0010) {
                std::vector<unsigned char> value(length);
                for (std::uint32_t k = 0; k < length; ++k)
                    in_.read(&value[k], 1);
                std::string uid(value.begin(), value.end());
                while (!uid.empty() && (uid.back() == '\0' || uid.back() == ' '))
                    uid.pop_back();
                transferSyntax = uid;
            } else {
                in_.skip(length);
            }
        }
        if (groupLength && in_.position() - groupStart != *groupLength)
            return fail("ファイルメタ情報のグループ長 (0002,0000) " + std::to_string(*groupLength) +
                        " バイトが要素の長さ " + std::to_string(in_.position() - groupStart) +
                        " バイトと合いません");
        return true;
    }

    // The elements of a dataset or an item up to `end` (an item of defined length), its item
    // delimitation item (an item of undefined length, end = kNoEnd, top = false) or the pixel data
    // or the end of the file (the dataset itself, top = true).
    bool dataset(std::uint64_t end, Syntax syntax, int depth, bool top) {
        unsigned char head[8];
        while (true) {
            if (end != kNoEnd) {
                if (in_.position() == end)
                    return true;
                if (in_.position() > end)
                    return fail("項目の終わりを越えた要素があります");
            }
            if (top && in_.left() < 4) // the end of the file, or a few bytes of padding DCMTK judges
                return true;
            if (!in_.read(head, 4))
                return fail("項目の途中でファイルが終わっています");
            const std::uint16_t group = word(head, syntax.bigEndian);
            const std::uint16_t element = word(head + 2, syntax.bigEndian);
            const std::string tag = tagText(group, element);
            if (top && group == 0x7FE0 && element == 0x0010)
                return true; // the pixel data is never read
            if (!count())
                return false;
            if (group == 0xFFFE) {
                if (element == 0xE00D && !top && end == kNoEnd)
                    return in_.read(head, 4) || truncated(tag);
                return fail(tag + " が項目の外にあります");
            }
            std::uint32_t length = 0;
            DcmEVR vr = EVR_UNKNOWN;
            if (syntax.explicitVr) {
                if (!in_.read(head, 2))
                    return truncated(tag);
                // A VR DICOM does not know is read as DCMTK reads it: a value of its own, with a
                // 4-byte length where the VR is two capital letters, else with a 2-byte length.
                const char vrName[3] = {static_cast<char>(head[0]), static_cast<char>(head[1]), 0};
                vr = DcmVR(vrName).getEVR();
                const DcmVR explicitVr(vr);
                if (explicitVr.usesExtendedLengthEncoding()) {
                    if (!in_.read(head, 6))
                        return truncated(tag);
                    length = doubleWord(head + 2, syntax.bigEndian);
                } else {
                    if (!in_.read(head, 2))
                        return truncated(tag);
                    length = word(head, syntax.bigEndian);
                }
            } else {
                if (!in_.read(head, 4))
                    return truncated(tag);
                length = doubleWord(head, syntax.bigEndian);
                vr = DcmTag(group, element).getEVR();
            }
            if (length == kUndefinedLength) {
                // As DCMTK reads it: encapsulated (pixel) data as fragments, UN as a sequence in
                // implicit VR little endian, anything else as a sequence.
                const bool encapsulated = vr == EVR_OB || vr == EVR_OW || vr == EVR_ox || vr == EVR_px ||
                                          (group == 0x7FE0 && element == 0x0010);
                const bool done = encapsulated
                                      ? fragments(syntax, tag)
                                      : sequence(kNoEnd, vr == EVR_UN ? kImplicitLittle : syntax, depth, tag);
                if (!done)
                    return false;
                continue;
            }
            if (!fits(tag, length, end))
                return false;
            const std::uint64_t valueEnd = in_.position() + length;
            if (vr == EVR_SQ || (!syntax.explicitVr && (group & 1) && startsWithItem(syntax))) {
                if (!sequence(valueEnd, syntax, depth, tag))
                    return false;
                continue;
            }
            in_.skip(length);
        }
    }

private:
    bool count() {
        if (++elements_ <= kMaxHeaderElements)
            return true;
        return fail("要素が " + std::to_string(kMaxHeaderElements) + " 個を超えています");
    }
    bool fail(std::string why) {
        reason_ = std::move(why);
        return false;
    }
    bool truncated(const std::string& tag) { return fail(tag + " の途中でファイルが終わっています"); }

    // Whether the declared length lies within the file and within the enclosing item.
    bool fits(const std::string& tag, std::uint64_t length, std::uint64_t end) {
        if (length > in_.left())
            return fail(tag + " の長さ " + std::to_string(length) + " バイトがファイルの残り " +
                        std::to_string(in_.left()) + " バイトを超えています");
        if (end != kNoEnd && in_.position() + length > end)
            return fail(tag + " の長さ " + std::to_string(length) + " バイトが項目の残り " +
                        std::to_string(end - in_.position()) + " バイトを超えています");
        return true;
    }

    static bool standardVr(const unsigned char* two) {
        if (!std::isalpha(two[0]) || !std::isalpha(two[1]))
            return false;
        const char name[3] = {static_cast<char>(two[0]), static_cast<char>(two[1]), 0};
        return DcmVR(name).isStandard();
    }
    static std::string printable(const unsigned char* two) {
        std::string text;
        for (int k = 0; k < 2; ++k)
            text += two[k] >= 0x20 && two[k] < 0x7F ? static_cast<char>(two[k]) : '?';
        return text;
    }

    // A private element of defined length in implicit VR that begins with an item: DCMTK may know
    // it as a sequence from its private dictionary, so it is walked as one.
    bool startsWithItem(Syntax syntax) {
        unsigned char head[4];
        return in_.peek(head, 4) && word(head, syntax.bigEndian) == 0xFFFE &&
               word(head + 2, syntax.bigEndian) == 0xE000;
    }

    // The items of a sequence up to `end` or its sequence delimitation item (end = kNoEnd).
    bool sequence(std::uint64_t end, Syntax syntax, int depth, const std::string& tag) {
        if (depth + 1 > kMaxSequenceDepth)
            return fail("シーケンスの入れ子が " + std::to_string(kMaxSequenceDepth) + " 段を超えています（" +
                        tag + "）");
        unsigned char head[8];
        while (true) {
            if (end != kNoEnd) {
                if (in_.position() == end)
                    return true;
                if (in_.position() > end || end - in_.position() < 8)
                    return fail("シーケンス " + tag + " の終わりが項目の途中にあります");
            }
            if (!in_.read(head, 8))
                return truncated(tag);
            if (!count())
                return false;
            const std::uint16_t group = word(head, syntax.bigEndian);
            const std::uint16_t element = word(head + 2, syntax.bigEndian);
            const std::uint32_t length = doubleWord(head + 4, syntax.bigEndian);
            if (group == 0xFFFE && element == 0xE0DD && end == kNoEnd)
                return true;
            if (group != 0xFFFE || element != 0xE000)
                return fail("シーケンス " + tag + " に項目でない要素 " + tagText(group, element) +
                            " があります");
            if (length == kUndefinedLength) {
                if (!dataset(kNoEnd, syntax, depth + 1, false))
                    return false;
                continue;
            }
            if (!fits(tag, length, end))
                return false;
            if (!dataset(in_.position() + length, syntax, depth + 1, false))
                return false;
        }
    }

    // The fragments of encapsulated data: items of defined length up to the sequence delimitation
    // item; their bytes are skipped.
    bool fragments(Syntax syntax, const std::string& tag) {
        unsigned char head[8];
        while (true) {
            if (!in_.read(head, 8))
                return truncated(tag);
            if (!count())
                return false;
            const std::uint16_t group = word(head, syntax.bigEndian);
            const std::uint16_t element = word(head + 2, syntax.bigEndian);
            const std::uint32_t length = doubleWord(head + 4, syntax.bigEndian);
            if (group == 0xFFFE && element == 0xE0DD)
                return true;
            if (group != 0xFFFE || element != 0xE000 || length == kUndefinedLength)
                return fail(tag + " に断片でない要素 " + tagText(group, element) + " があります");
            if (!fits(tag, length, kNoEnd))
                return false;
            in_.skip(length);
        }
    }

    ByteSource& in_;
    std::uint64_t elements_ = 0;
    std::string reason_;
};

HeaderCheck refused(std::string reason, bool meta) {
    return {HeaderCheck::Verdict::Refused, std::move(reason), meta};
}

} // namespace

HeaderCheck checkHeaderStructure(const std::filesystem::path& file) {
    ByteSource in(file);
    if (!in.good())
        return refused("ファイルを読めません", false);
    Walker walk(in);

    // File meta information after the preamble and "DICM", or (as DCMTK also reads it) at the start.
    unsigned char head[132];
    bool meta = false;
    if (in.peek(head, 2) && word(head, false) == 0x0002) {
        meta = true;
    } else if (in.peek(head, 132) &&
               std::string_view(reinterpret_cast<const char*>(head + 128), 4) == "DICM") {
        meta = true;
        in.skip(132);
    }
    std::optional<std::string> transferSyntax;
    if (meta && !walk.fileMeta(transferSyntax))
        return refused(walk.reason(), meta);
    if (transferSyntax && transferSyntax->empty())
        return refused("転送構文 (0002,0010) が空です", meta);

    Syntax syntax;
    const DcmXfer stated(transferSyntax ? transferSyntax->c_str() : "?");
    if (transferSyntax && stated.getXfer() != EXS_Unknown) {
        if (stated.getStreamCompression() != ESC_none)
            return refused("圧縮（" + std::string(stated.getXferName()) + "）されたデータセットは読めません",
                           meta);
        syntax = {stated.isExplicitVR(), stated.isBigEndian()};
    } else {
        unsigned char first[6] = {};
        const std::size_t available = in.left() < 6 ? static_cast<std::size_t>(in.left()) : 6;
        in.peek(first, available);
        const DcmXfer guessed(SyntaxProbe().guess(first, available));
        syntax = {guessed.isExplicitVR(), guessed.isBigEndian()};
        if (!meta) {
            // Without file meta information the file must at least begin like a dataset: a known
            // attribute of the first groups.
            const std::uint16_t group = word(first, syntax.bigEndian);
            const std::uint16_t element = word(first + 2, syntax.bigEndian);
            if (available < 6 || group > 0x0008 || DcmTag(group, element).error().bad())
                return {HeaderCheck::Verdict::NotDicom, "", false};
        }
    }
    if (!walk.dataset(kNoEnd, syntax, 0, true))
        return refused(walk.reason(), meta);
    return {HeaderCheck::Verdict::Readable, "", meta};
}

} // namespace tamso::dicom::detail
