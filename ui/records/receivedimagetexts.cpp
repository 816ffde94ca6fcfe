#include "ui/records/receivedimagetexts.h"

#include "ui/kit/language.h"
#include "ui/kit/uiutil.h"

#include <QCoreApplication>
#include <QDateTime>

#include <algorithm>
#include <vector>

namespace tamso::ui {

namespace {

constexpr const char* kContext = "ReceivedImageTexts";

// The fixed pieces of the node's held reasons, notes and sending errors. Replaced longest first, so
// that a piece inside a longer one (" がありません" in "被写体厚がありません（") waits for it.
const char* const kPieces[] = {
    QT_TRANSLATE_NOOP("ReceivedImageTexts", "画像の氏名を読めないため、患児か確かめられません（"),
    QT_TRANSLATE_NOOP("ReceivedImageTexts", "」の患者ファイルに氏名がないため、画像の患児か確かめられません"),
    QT_TRANSLATE_NOOP("ReceivedImageTexts", "新しい患者IDですが、画像に氏名 (0010,0010) がありません"),
    QT_TRANSLATE_NOOP("ReceivedImageTexts", "」と一致しません（別の患児の可能性）"),
    QT_TRANSLATE_NOOP("ReceivedImageTexts", "」が画像の氏名「"),
    QT_TRANSLATE_NOOP("ReceivedImageTexts", "」の氏名「"),
    QT_TRANSLATE_NOOP("ReceivedImageTexts", "患者ID「"),
    QT_TRANSLATE_NOOP("ReceivedImageTexts", "計算できません: "),
    QT_TRANSLATE_NOOP("ReceivedImageTexts", "同じ撮影の記録が手入力で保存されています（記録 "),
    QT_TRANSLATE_NOOP("ReceivedImageTexts", "）。別の撮影であれば「条件入力画面で開く」から保存してください"),
    QT_TRANSLATE_NOOP("ReceivedImageTexts", "」を記録ファイルに書けません（"),
    QT_TRANSLATE_NOOP("ReceivedImageTexts", "記録の形式で保存できません: "),
    QT_TRANSLATE_NOOP("ReceivedImageTexts", "被写体厚がありません（"),
    QT_TRANSLATE_NOOP("ReceivedImageTexts", "、撮影部位がわからないため記録と既定値も使えません"),
    QT_TRANSLATE_NOOP("ReceivedImageTexts", "画像に BodyPartThickness (0018,11A0) がなく、同じ撮影部位「"),
    QT_TRANSLATE_NOOP("ReceivedImageTexts", "」の記録も "),
    QT_TRANSLATE_NOOP("ReceivedImageTexts", " の既定値もありません"),
    QT_TRANSLATE_NOOP("ReceivedImageTexts", "管電圧: "),
    QT_TRANSLATE_NOOP("ReceivedImageTexts", "撮影日: "),
    QT_TRANSLATE_NOOP("ReceivedImageTexts", "撮影部位: "),
    QT_TRANSLATE_NOOP("ReceivedImageTexts", "患者ID: "),
    QT_TRANSLATE_NOOP("ReceivedImageTexts", " がありません"),
    QT_TRANSLATE_NOOP("ReceivedImageTexts", " の値 "),
    QT_TRANSLATE_NOOP("ReceivedImageTexts", " は使えません"),
    QT_TRANSLATE_NOOP("ReceivedImageTexts", " は日付として読めません"),
    QT_TRANSLATE_NOOP("ReceivedImageTexts", " は使える範囲（"),
    QT_TRANSLATE_NOOP("ReceivedImageTexts", " 以上 "),
    QT_TRANSLATE_NOOP("ReceivedImageTexts", " 以下）の外です"),
    QT_TRANSLATE_NOOP("ReceivedImageTexts", " 未満）の外です"),
    QT_TRANSLATE_NOOP("ReceivedImageTexts", " に値が "),
    QT_TRANSLATE_NOOP("ReceivedImageTexts", " つあります（"),
    QT_TRANSLATE_NOOP("ReceivedImageTexts", "）: どれの値か分からないため使いません"),
    QT_TRANSLATE_NOOP("ReceivedImageTexts", " の値が長すぎます（"),
    QT_TRANSLATE_NOOP("ReceivedImageTexts", " バイト）"),
    QT_TRANSLATE_NOOP("ReceivedImageTexts", " の文字コード "),
    QT_TRANSLATE_NOOP("ReceivedImageTexts", "文字コード "),
    QT_TRANSLATE_NOOP("ReceivedImageTexts", " の文字を変換できません（"),
    QT_TRANSLATE_NOOP("ReceivedImageTexts", "指定にない文字"),
    QT_TRANSLATE_NOOP("ReceivedImageTexts", "JIS X 0208 にない文字"),
    QT_TRANSLATE_NOOP("ReceivedImageTexts", "2バイト文字が途中で切れています"),
    QT_TRANSLATE_NOOP("ReceivedImageTexts", "未対応のエスケープシーケンス"),
    QT_TRANSLATE_NOOP("ReceivedImageTexts", "この文字コードは使えません"),
    QT_TRANSLATE_NOOP("ReceivedImageTexts", "取り除き（担当: "),
    QT_TRANSLATE_NOOP("ReceivedImageTexts", "取り除いた画像の再送（"),
    QT_TRANSLATE_NOOP("ReceivedImageTexts", "報告書から保存（保留理由: "),
    QT_TRANSLATE_NOOP("ReceivedImageTexts", "、手入力: "),
    QT_TRANSLATE_NOOP("ReceivedImageTexts", "記録済みの画像の再送（"),
    QT_TRANSLATE_NOOP("ReceivedImageTexts", "同じ照射 (IrradiationEventUID) の画像を記録済み（"),
    QT_TRANSLATE_NOOP("ReceivedImageTexts", " の記録 "),
    QT_TRANSLATE_NOOP("ReceivedImageTexts", "同じ画像が続けて届きました"),
    QT_TRANSLATE_NOOP("ReceivedImageTexts", "ネットワークを使えません: "),
    QT_TRANSLATE_NOOP("ReceivedImageTexts", " と接続できません: "),
    QT_TRANSLATE_NOOP("ReceivedImageTexts", " との接続が途中で切れました"),
    QT_TRANSLATE_NOOP("ReceivedImageTexts", " はこの種類の DICOM オブジェクト（"),
    QT_TRANSLATE_NOOP("ReceivedImageTexts", "）を受け付けません"),
    QT_TRANSLATE_NOOP("ReceivedImageTexts", " への送信に失敗しました: "),
    QT_TRANSLATE_NOOP("ReceivedImageTexts", "警告付きで保存されました（状態 "),
    QT_TRANSLATE_NOOP("ReceivedImageTexts", "保存されませんでした（状態 "),
    QT_TRANSLATE_NOOP("ReceivedImageTexts", "送信の結果を得られませんでした"),
    QT_TRANSLATE_NOOP("ReceivedImageTexts", "を DICOM ファイルとして読めません"),
    QT_TRANSLATE_NOOP("ReceivedImageTexts", "ファイル（"),
    QT_TRANSLATE_NOOP("ReceivedImageTexts", "）: "),
    QT_TRANSLATE_NOOP("ReceivedImageTexts", "（"),
    QT_TRANSLATE_NOOP("ReceivedImageTexts", "）"),
    QT_TRANSLATE_NOOP("ReceivedImageTexts", "、"),
    QT_TRANSLATE_NOOP("ReceivedImageTexts", "「"),
    QT_TRANSLATE_NOOP("ReceivedImageTexts", "」"),
    QT_TRANSLATE_NOOP("ReceivedImageTexts", "："),
    QT_TRANSLATE_NOOP("ReceivedImageTexts", "。"),
};

bool has(const std::string& text, const char* part) {
    return text.find(part) != std::string::npos;
}

} // namespace

QString nodeText(const std::string& text) {
    static const std::vector<QString> pieces = [] {
        std::vector<QString> list;
        for (const char* piece : kPieces)
            list.push_back(QString::fromUtf8(piece));
        std::stable_sort(list.begin(), list.end(),
                         [](const QString& a, const QString& b) { return a.size() > b.size(); });
        return list;
    }();
    QString shown = qs(text);
    if (installedLanguage() == Language::Japanese)
        return shown;
    if (const QString whole = coreText(text); whole != shown)
        return whole; // a message of the core translated whole
    for (const QString& piece : pieces)
        shown.replace(piece, QCoreApplication::translate(kContext, piece.toUtf8().constData()));
    return shown.trimmed();
}

QString nextStepText(const std::string& reason) {
    if (has(reason, "別の患児の可能性") || has(reason, "氏名を読めない") || has(reason, "氏名がない") ||
        has(reason, "画像に氏名"))
        return QCoreApplication::translate(
            "ReceivedImageTexts",
            "次に: 患者IDと氏名を確かめ、この患児の画像なら「条件入力画面で開く」で開いて"
            "保存します。誤って送られた画像なら「取り除く」で理由を付けて取り除きます。");
    if (has(reason, "手入力で保存されています"))
        return QCoreApplication::translate(
            "ReceivedImageTexts", "次に: 同じ撮影の記録が既にあるなら「取り除く」で取り除きます。別の撮影なら"
                                  "「条件入力画面で開く」で開いて保存します。");
    if (has(reason, "計算できません") || has(reason, "記録ファイルに書けません") ||
        has(reason, "記録の形式で保存できません"))
        return QCoreApplication::translate(
            "ReceivedImageTexts", "次に: 「条件入力画面で開く」で開き、理由に書かれた値を確かめて直し、"
                                  "報告書から保存します。");
    return QCoreApplication::translate(
        "ReceivedImageTexts", "次に: 「条件入力画面で開く」で開き、理由に書かれた足りない値を入力して報告書"
                              "から保存します。誤って送られた画像なら「取り除く」で取り除きます。");
}

namespace {

QString dateTimeText(const QDateTime& time) {
    return shortDateText(time.date()) + QLatin1Char(' ') + time.time().toString(QStringLiteral("HH:mm:ss"));
}

} // namespace

QString logTimeText(const std::string& time) {
    const QDateTime parsed = QDateTime::fromString(qs(time), QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    return parsed.isValid() ? dateTimeText(parsed) : qs(time);
}

QString outboxTimeText(std::int64_t seconds) {
    return seconds > 0 ? dateTimeText(QDateTime::fromSecsSinceEpoch(seconds)) : QString();
}

QString examDateText(const std::string& date) {
    const QDate parsed = readExamDate(qs(date));
    return parsed.isValid() ? shortDateText(parsed) : qs(date);
}

} // namespace tamso::ui
