#include "textio/errorcatalog.h"

// The templates are marked for lupdate, which reads this file for the translation (context "core");
// the core itself does not depend on Qt.
#ifndef QT_TRANSLATE_NOOP
#define QT_TRANSLATE_NOOP(context, text) text
#endif

namespace tamso::textio {

const char* errorTemplate(ErrorCode code) {
    switch (code) {
    case ErrorCode::Text:
        return "%1";
    // Files and text.
    case ErrorCode::CodecUnavailable:
        return QT_TRANSLATE_NOOP("core", "文字コード変換 (%1 → %2) を利用できません。");
    case ErrorCode::SjisUnreadable:
        return QT_TRANSLATE_NOOP("core", "Shift-JIS として読めない文字があります");
    case ErrorCode::SjisUnreadableAtByte:
        return QT_TRANSLATE_NOOP("core", "Shift-JIS として読めない文字があります（%1 バイト目）");
    case ErrorCode::SjisUnwritable:
        return QT_TRANSLATE_NOOP("core", "Shift-JIS で書けない文字があります");
    case ErrorCode::SjisUnwritableAtByte:
        return QT_TRANSLATE_NOOP("core", "Shift-JIS で書けない文字があります（%1 バイト目）");
    case ErrorCode::Utf8Unreadable:
        return QT_TRANSLATE_NOOP("core", "UTF-8 として読めない文字があります");
    case ErrorCode::FileMissing:
        return QT_TRANSLATE_NOOP("core", "ファイル「%1」が見つかりません。");
    case ErrorCode::NotAFile:
        return QT_TRANSLATE_NOOP("core", "「%1」はファイルではありません。");
    case ErrorCode::NotARegularFile:
        return QT_TRANSLATE_NOOP(
            "core", "「%1」は通常のファイルではありません（デバイスや名前付きパイプなどは読み込みません）。");
    case ErrorCode::FileCannotOpen:
        return QT_TRANSLATE_NOOP("core", "ファイル「%1」を開けません。");
    case ErrorCode::FileCannotRead:
        return QT_TRANSLATE_NOOP("core", "ファイル「%1」を読み込めません。");
    case ErrorCode::FileTooLarge:
        return QT_TRANSLATE_NOOP("core", "ファイル「%1」が大きすぎます（%2 バイト。このファイルは %3 バイトまでです）。");
    case ErrorCode::FileGrewTooLarge:
        return QT_TRANSLATE_NOOP("core", "ファイル「%1」が大きすぎます（このファイルは %2 バイトまでです）。");
    case ErrorCode::FileUnreadableText:
        return QT_TRANSLATE_NOOP("core", "ファイル「%1」を読み込めません: %2。");
    case ErrorCode::FileCannotWrite:
        return QT_TRANSLATE_NOOP("core", "ファイル「%1」に書き込めません（%2）。");
    case ErrorCode::FileReadOnly:
        return QT_TRANSLATE_NOOP("core", "ファイル「%1」は読み取り専用のため書き換えられません。");
    case ErrorCode::FileCannotWriteText:
        return QT_TRANSLATE_NOOP("core", "ファイル「%1」に書き込めません: %2。");
    case ErrorCode::ExportRefused:
        return QT_TRANSLATE_NOOP("core", "出力先「%1」には書き出せません（%2）。別のファイル名を指定して下さい。");
    case ErrorCode::EndBeforeValue:
        return QT_TRANSLATE_NOOP("core", "%1を読む前にファイルが終わっています");
    case ErrorCode::ValueNotSjis:
        return QT_TRANSLATE_NOOP("core", "%1（%2 行目）に Shift-JIS として読めない文字があります");
    case ErrorCode::NumberTooLarge:
        return QT_TRANSLATE_NOOP("core", "%1（%2 行目の「%3」）は大きすぎて数値として扱えません");
    case ErrorCode::NotANumber:
        return QT_TRANSLATE_NOOP("core", "%1（%2 行目の「%3」）が数値ではありません");
    case ErrorCode::WorkFolderCannotMake:
        return QT_TRANSLATE_NOOP("core", "作業フォルダ「%1」を作成できません（%2）。");
    case ErrorCode::WorkFolderMissing:
        return QT_TRANSLATE_NOOP("core", "作業フォルダ「%1」が見つかりません。");
    case ErrorCode::WorkdirOptionEmpty:
        return QT_TRANSLATE_NOOP("core", "起動オプション --workdir には作業フォルダを続けて下さい。");
    case ErrorCode::NoHomeFolder:
        return QT_TRANSLATE_NOOP("core", "ホームフォルダが分からないため、作業フォルダを決められません。"
                                         "起動オプション --workdir で作業フォルダを指定して下さい。");
    case ErrorCode::DefaultsFolderMissing:
        return QT_TRANSLATE_NOOP("core", "付属データのフォルダ「%1」が見つかりません。");
    case ErrorCode::DefaultsFolderUnreadable:
        return QT_TRANSLATE_NOOP("core", "付属データのフォルダ「%1」を読み込めません（%2）。");
    // Records.
    case ErrorCode::RecordFileBusy:
        return QT_TRANSLATE_NOOP(
            "core", "患者ファイル「%1」は他で保存中のため使用できません。しばらくしてからもう一度保存して下さい。");
    case ErrorCode::RecordFileBusyWithdraw:
        return QT_TRANSLATE_NOOP(
            "core", "患者ファイル「%1」は他で保存中のため使用できません。しばらくしてからもう一度取り消して下さい。");
    // The node.
    case ErrorCode::SendingInProgress:
        return QT_TRANSLATE_NOOP("core", "線量レポートを送信しているところです。しばらくしてからもう一度試して下さい。");
    case ErrorCode::ImagesBeingProcessed:
        return QT_TRANSLATE_NOOP(
            "core", "受信画像の処理を他のプログラム（tamso-node など）が続けています。しばらくしてからもう一度試して下さい。");

    case ErrorCode::Count:
        break;
    }
    return "";
}

std::string fillTemplate(std::string_view pattern, const std::vector<std::string>& args) {
    std::string out;
    out.reserve(pattern.size());
    for (size_t i = 0; i < pattern.size();) {
        size_t end = i + 1;
        while (pattern[i] == '%' && end < pattern.size() && pattern[end] >= '0' && pattern[end] <= '9')
            ++end;
        const size_t number = end > i + 1 ? std::stoul(std::string(pattern.substr(i + 1, end - i - 1))) : 0;
        if (number >= 1 && number <= args.size())
            out += args[number - 1];
        else
            out.append(pattern.substr(i, end - i));
        i = end;
    }
    return out;
}

std::string errorMessage(ErrorCode code, const std::vector<std::string>& args) {
    return fillTemplate(errorTemplate(code), args);
}

bool isBusyCode(ErrorCode code) {
    switch (code) {
    case ErrorCode::RecordFileBusy:
    case ErrorCode::RecordFileBusyWithdraw:
    case ErrorCode::SendingInProgress:
    case ErrorCode::ImagesBeingProcessed:
        return true;
    default:
        return false;
    }
}

} // namespace tamso::textio
