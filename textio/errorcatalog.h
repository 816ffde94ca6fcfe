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

    // Records: reading, checking and saving an infant's record files.
    RecordFolderUnlistable, // folder, why
    RecordFilesUnusable, // the problems of the files, one a line
    ListValueComma,
    ListValueAfterQuote,
    RecordFileLayout, // file name, why
    PatientIdUnusable, // ID, why
    NameLineBreak,
    FieldLineBreak, // the field's caption
    FieldCommaAndQuote, // the field's caption
    FieldNotStorable, // the field's caption, why
    RecordConditionsNotNumbers,
    RecordFieldSizeUnknown, // the field size as recorded
    RecordDoseMissing,
    LockFileCannotLock, // record file, lock file, why
    TechnologistListFull,
    EnterIdAndName,
    SaveStoredUnreadable, // why the stored files cannot be used
    SaveNotInLayout, // why
    SaveNotWritten, // why
    QuestionSave,
    QuestionDuplicate,
    QuestionSameExposure, // record number, date, body part, kV, mAs, dose
    Saved,
    SavedToContinuation, // records per file, file name

    // Records: withdrawing a record.
    WithdrawalFieldCount, // fields found, fields expected
    WithdrawalNumberBad, // the field
    WithdrawalEscapeBad, // field number
    WithdrawalFieldEmpty,
    WithdrawalReasonMissing,
    WithdrawerMissing,
    WithdrawalNotSjis,
    WithdrawHistoryUnreadable, // why
    WithdrawRecordChanged, // ID, record number
    WithdrawTrailUnreadable, // why
    AlreadyWithdrawn, // record number, time, who, reason
    WithdrawNotWritten, // why

    // The calculation (engine).
    ConditionOutOfRange, // caption, value, unit, the range
    ConditionMissing, // caption, the range
    ConditionNotANumber, // caption, the text, the range
    ConditionTooLarge, // caption, the text
    ConditionsNotNumbers,
    VoltageNotBelow150,
    FfdNotPositive,
    FocusSkinNotPositive,
    FocusSkinTooShort, // focus-skin, FFD, thickness, the shortest (each with cm)
    FocusHoodOutside, // focus-hood, focus-skin, FFD, thickness (each with cm)
    AirAbsorptionZero, // energy in keV
    BsfEnergiesNotAscending,
    SprTableNotAscending,
    TissueAbsorptionZero,
    VoltageTooLow,
    TargetAngleBad,
    NumberOutOfRange, // the quantity
    ResultNegative, // the quantity
    AmbientDistancesNotAscending,
    AmbientTableTooShort,
    AmbientValuesZero,
    TransmissionTooHigh, // percent
    NoXraysAtSkin,
    ExposureSpectrumZero,
    HvlNotPositive,
    EffectiveEnergyNotFound,
    SpectrumNotWritten, // why
    VoltageAboveOutputTable, // kV
    VoltageBelowOutputTable, // kV
    OutputVoltagesEqual, // kV, kV
    WeightOutOfRange, // weight, least, most
    OrganTableMissing,
    OrganDoseBeforeCalculation,
    BodyPartWithoutOrgans, // body part
    WeightUnknown,

    // Reference data (refdata).
    ReferenceFileUnreadable, // file name, why
    ReferenceValueImplausible, // file name, value, line, the text, rule
    ReferenceLevelNoBodyPart,
    ReferenceLevelQuote, // body part
    ReferenceLevelNotPositive, // body part

    // The node: dose reports.
    DoseReportNotSaved, // why

    // DICOM (dicom).
    DicomCharsetNotConvertible, // character set, why
    DicomDictionaryMissing,
    DicomFileCannotOpen, // file
    DicomNotDicom, // file
    DicomUnreadable, // file, why
    DicomNoClassNorModality, // file
    DicomIsDicomDir, // file
    DicomNotRadiograph, // file, modality
    DicomNotRadiographNoModality, // file
    DicomNotDicomDir, // file
    BodyPartFileMissing, // file name
    BodyPartFileUnreadable, // file name

    // The node (node).
    PortUnusable, // port, why
    OutboxFolderCannotMake, // folder, why
    OutboxReportEmpty,
    DoseReportNotMade, // step, why
    DoseReportCreatedBad, // date and time
    ReceivedNoDataSet,
    PresentationContextBad, // why
    TlsSettingFailed, // setting (and file), why
    TlsKeyMismatch, // key file, certificate file
    FileProblem, // file name, the failure with it
    SopInstanceUidMissing,
    ImageHeaderNotWritten, // why
    WorkFolderProblem, // folder, the failure
    DestinationNoAt, // destination
    DestinationAeTitleBad, // destination
    DestinationIpv6Bad, // destination
    DestinationNoPort, // destination
    DestinationNoHost, // destination
    DestinationPortBad, // destination
    TargetRegionCodeBad, // line, code
    TargetRegionMeaningMissing, // line
    ThicknessDefaultBad, // line, the text
    ImageLogUnreadable, // file
    NetworkUnusable, // why
    PeerUnreachable, // peer, why
    CallingAeTitleBad, // AE title
    PacsNotGiven,
    FindFailed, // why
    FindRefused, // status
    PullDateBad, // date
    PullDatesReversed, // from, to
    FindNotAccepted, // PACS
    GetNotAccepted, // PACS
    PullFolderCannotMake, // folder, why
    DicomMetaNotMade, // why
    DicomFileNotWritten, // why
    ConfigLineNotKeyValue, // where
    ConfigKeyUnknown, // where, key
    SettingProblem, // where it was set, the failure
    ConfigNotYesNo, // where, value
    ConfigDelayBad, // where, value
    ConfigNumberOutOfRange, // where, least, most, value
    ConfigPortBad, // where, value
    ConfigAeTitleBad, // where, value
    ArgumentUnexpected, // argument
    OptionNeedsValue, // option
    OptionUnknown, // option
    ConfigFileMissing, // file
    PortNotGiven,
    PortsEqual,
    TlsPortNeedsKey,
    ReferenceDataWaiting, // why
    ReportPendingFolderCannotMake, // folder, why
    ReportUidMissing,
    ReportStudyFolderCannotMake, // folder, why
    ReportExposureFileUnreadable, // file
    ReportPendingFileNotRemoved, // file, why
    NodeLinkRefused, // path
    InterruptedRecordCheck, // the failure
    RecordNotPrepared, // the failure
    DoseReportPatientText, // the failure
    DoseReportNoPatientId,
    DoseReportDateBad, // date
    DoseReportTimeBad, // time
    DoseReportUidBad, // UID
    DoseReportImageUidsMissing,
    DoseReportValueNotPositive, // the quantity
    DoseReportFilterBad,
    DoseReportSkinBeyondFfd,
    DoseReportOptionalBad,
    DoseReportEffectiveDoseBad,
    DoseReportNoExposures,
    DoseReportMixedExposures,
    DoseReportEventUidBad, // UID
    NodeFileIsLink, // file
    NodeFileNotRegular, // file
    NodeAlreadyRunning, // working folder, the holder
    NodeAlreadyRunningUnknown, // working folder
    SetAsideWhoMissing,
    SetAsideWhyMissing,
    ImageNoLongerHeld,
    ImageUnreadable, // file, why
    DeviceUidFileBad, // file
    DeviceUidFileUnreadable, // file
    ReportFolderIdUnusable, // patient ID
    ReportFolderCannotMake, // folder, why
    NoReportDestination,
    NoImageHeader,
    NodeFolderCannotMake, // folder, why
    ReceivedNameTaken, // name
    InterruptedForTest,
    ImageResultMissing, // UID
    ImageNotYetRecorded, // UID, why
    ImageNotProcessed, // UID

    // The screens (ui).
    AuditEmpty,
    PrintNotBegun,
    PrintNotFinished,
    PrintCannotStart,
    PrintFailed,
    DoseHistoryEmpty,
    RecordFileNotFound, // file name
    StoredRecordMissing, // ID, record number
    WeightMissingNoDefault, // why the default cannot be read

    // The command-line calculator (tamso-calc).
    CalcBodyPartNotListed, // body part
    CalcWeightNotANumber, // the text given
    CalcWeightMissingNoDefault, // why the default cannot be read

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
