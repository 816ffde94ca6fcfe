#pragma once
// The catalogue of the program's failures: one code per sentence (or family of sentences), and
// the one place where each sentence is written, as a template whose %1, %2 ... stand for the
// error's arguments. The screens translate the template (context "core") before filling it in.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace tamso::textio {

enum class ErrorCode {
    Text, // a sentence without a code of its own, whole in its one argument

    // Files and text (textio).
    CodecUnavailable,      // from, to
    SjisUnreadable,        //
    SjisUnreadableAtByte,  // byte position
    SjisUnwritable,        //
    SjisUnwritableAtByte,  // byte position
    Utf8Unreadable,        //
    FileMissing,           // file name
    NotAFile,              // file name
    NotARegularFile,       // file name
    FileCannotOpen,        // file name
    FileCannotRead,        // file name
    FileTooLarge,          // file name, size in bytes, the largest size
    FileGrewTooLarge,      // file name, the largest size
    FileUnreadableText,    // file name, why
    FileCannotWrite,       // file name, why
    FileReadOnly,          // file name
    FileCannotWriteText,   // file name, why
    ExportRefused,         // file name, why
    EndBeforeValue,        // what
    ValueNotSjis,          // what, line
    NumberTooLarge,        // what, line, the field
    NotANumber,            // what, line, the field
    WorkFolderCannotMake,  // folder, why
    WorkFolderMissing,     // folder
    WorkdirOptionEmpty,    //
    NoHomeFolder,          //
    DefaultsFolderMissing, // folder
    DefaultsFolderUnreadable, // folder, why

    // Records (records): the lock of an infant's record files.
    RecordFileBusy,          // file name (another save holds it)
    RecordFileBusyWithdraw,  // file name (another save holds it while a record is withdrawn)

    // The node (node).
    SendingInProgress,    // the sender holds the outbox
    ImagesBeingProcessed, // another program processes the received images

    Count // the number of codes, not a code
};

inline constexpr std::size_t kErrorCodeCount = static_cast<std::size_t>(ErrorCode::Count);

// The Japanese template of the code (UTF-8); the translation's source text, context "core".
const char* errorTemplate(ErrorCode code);
// The template with %N replaced by the N-th argument, in one pass: an argument's own "%1" stays.
// A placeholder without an argument is left as it is.
std::string fillTemplate(std::string_view pattern, const std::vector<std::string>& args);
// The sentence of the code with its arguments.
std::string errorMessage(ErrorCode code, const std::vector<std::string>& args);
// Whether the code says that another holder kept a shared resource for the whole wait.
bool isBusyCode(ErrorCode code);

} // namespace tamso::textio
