#include "uitestsupport.h"

#include "engine/calculationstate.h"
#include "refdata/referenceloader.h"
#include "ui/kit/messagebox.h"
#include "ui/kit/uiutil.h"
#include "ui/records/recordsearchscreen.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QInputMethodEvent>
#include <QListWidget>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QtDebug>
#include <QtEndian>

namespace tamso::uitest {

QString testCaseWorkFolder() {
    return QStringLiteral(TAMSO_SOURCE_DIR "/tests/data/default_50kv/workdir");
}

engine::CalculationState& calculationState() {
    static const auto state = std::make_unique<engine::CalculationState>();
    return *state;
}

ui::SiteData& siteData() {
    static const auto site = std::make_unique<ui::SiteData>();
    return *site;
}

bool prepareWorkingFolder(QTemporaryDir& dir) {
    if (!dir.isValid())
        return false;
    QDirIterator it(testCaseWorkFolder(), QDir::Files);
    while (it.hasNext()) {
        const QString path = it.next();
        QFile::copy(path, dir.filePath(it.fileName()));
        QFile(dir.filePath(it.fileName())).setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    }
    QDir::setCurrent(dir.path());
    ui::MessageBox::setTestMode(true);
    ui::MessageBox::clearShown();
    calculationState() = engine::CalculationState{};
    siteData() = ui::SiteData{};
    auto status = refdata::loadReferenceData(calculationState(), ui::workingFolderUtf8());
    if (!status.ok()) {
        qWarning() << ui::qs(status.message());
        return false;
    }
    return true;
}

std::unique_ptr<QPrinter> pdfPrinter(const QString& file) {
    auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    printer->setOutputFormat(QPrinter::PdfFormat);
    printer->setOutputFileName(file);
    return printer;
}

bool pdfText(const QString& pdf, QString& text, QString& error) {
    const QString tool = QStandardPaths::findExecutable(QStringLiteral("pdftotext"));
    if (tool.isEmpty()) {
        error = QStringLiteral("pdftotext is not installed (Debian package poppler-utils)");
        return false;
    }
    QProcess process;
    process.start(tool, {QStringLiteral("-enc"), QStringLiteral("UTF-8"), pdf, QStringLiteral("-")});
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0) {
        error = QStringLiteral("pdftotext failed: ") + QString::fromLocal8Bit(process.readAllStandardError());
        return false;
    }
    text = QString::fromUtf8(process.readAllStandardOutput());
    return true;
}

QList<QListWidgetItem*> patientFileEntries(const QListWidget* files, const QString& fileName) {
    QList<QListWidgetItem*> found;
    for (int i = 0; files && i < files->count(); ++i)
        if (files->item(i)->data(ui::RecordSearchScreen::kFileNameRole).toString() == fileName)
            found << files->item(i);
    return found;
}

bool pdfFontNames(const QString& pdf, QStringList& names, QString& error) {
    const QString tool = QStandardPaths::findExecutable(QStringLiteral("pdffonts"));
    QProcess process;
    if (!tool.isEmpty())
        process.start(tool, {pdf});
    if (tool.isEmpty() || !process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0) {
        error = QStringLiteral("pdffonts (poppler-utils) failed: ") +
                QString::fromLocal8Bit(process.readAllStandardError());
        return false;
    }
    names.clear();
    const QStringList lines = QString::fromUtf8(process.readAllStandardOutput()).split(QLatin1Char('\n'));
    for (const QString& line : lines.mid(2)) // below the heading and its rule
        if (!line.trimmed().isEmpty())
            names << line.section(QLatin1Char(' '), 0, 0);
    return true;
}

bool pdfWords(const QString& pdf, QList<PdfWord>& words, QString& error) {
    const QString tool = QStandardPaths::findExecutable(QStringLiteral("pdftotext"));
    if (tool.isEmpty()) {
        error = QStringLiteral("pdftotext is not installed (Debian package poppler-utils)");
        return false;
    }
    QProcess process;
    process.start(tool, {QStringLiteral("-bbox"), QStringLiteral("-enc"), QStringLiteral("UTF-8"), pdf,
                         QStringLiteral("-")});
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0) {
        error = QStringLiteral("pdftotext failed: ") + QString::fromLocal8Bit(process.readAllStandardError());
        return false;
    }
    static const QRegularExpression word(QStringLiteral(
        R"re(<word xMin="([\d.]+)" yMin="([\d.]+)" xMax="([\d.]+)" yMax="([\d.]+)">(.*)</word>)re"));
    for (const QString& line : QString::fromUtf8(process.readAllStandardOutput()).split(QLatin1Char('\n'))) {
        const QRegularExpressionMatch m = word.match(line);
        if (m.hasMatch())
            words.append(
                {m.captured(5), QRectF(QPointF(m.captured(1).toDouble(), m.captured(2).toDouble()),
                                       QPointF(m.captured(3).toDouble(), m.captured(4).toDouble()))});
    }
    return true;
}

bool pdfPicture(const QString& pdf, int dpi, QImage& picture, QString& error) {
    const QString tool = QStandardPaths::findExecutable(QStringLiteral("pdftoppm"));
    if (tool.isEmpty()) {
        error = QStringLiteral("pdftoppm is not installed (Debian package poppler-utils)");
        return false;
    }
    QProcess process;
    process.start(tool, {QStringLiteral("-r"), QString::number(dpi), QStringLiteral("-png"),
                         QStringLiteral("-singlefile"), pdf});
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0 || !picture.loadFromData(process.readAllStandardOutput(), "PNG")) {
        error = QStringLiteral("pdftoppm failed: ") + QString::fromLocal8Bit(process.readAllStandardError());
        return false;
    }
    return true;
}

std::set<char32_t> pdfToUnicodeTargets(const QString& pdf) {
    QFile file(pdf);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray bytes = file.readAll();
    std::set<char32_t> targets;
    static const QRegularExpression hex(QStringLiteral("<([0-9A-Fa-f]+)>"));
    for (qsizetype at = bytes.indexOf("stream"); at >= 0; at = bytes.indexOf("stream", at + 1)) {
        qsizetype start = at + 6;
        while (start < bytes.size() && (bytes[start] == '\r' || bytes[start] == '\n'))
            ++start;
        const qsizetype end = bytes.indexOf("endstream", start);
        if (end < 0)
            break;
        QByteArray data = bytes.mid(start, end - start);
        if (data.startsWith('\x78')) { // a zlib stream (FlateDecode)
            // qUncompress wants the expected size in front (a generous guess will do).
            QByteArray packed(4, '\0');
            qToBigEndian<quint32>(quint32(std::max<qsizetype>(1 << 20, 64 * data.size())), packed.data());
            data = qUncompress(packed + data);
        }
        at = end + 9;
        const QString text = QString::fromLatin1(data);
        const qsizetype from = text.indexOf(QStringLiteral("beginbfrange"));
        if (from < 0 || !text.contains(QStringLiteral("begincmap")))
            continue;
        const QStringList lines = text.mid(from).split(QLatin1Char('\n'));
        for (const QString& line : lines) {
            QList<uint> values;
            for (auto m = hex.globalMatch(line); m.hasNext();)
                values << m.next().captured(1).toUInt(nullptr, 16);
            if (values.size() < 3)
                continue;
            if (line.contains(QLatin1Char('['))) {
                for (qsizetype i = 2; i < values.size(); ++i)
                    targets.insert(char32_t(values[i]));
            } else {
                for (uint g = values[0]; g <= values[1]; ++g)
                    targets.insert(char32_t(values[2] + (g - values[0])));
            }
        }
    }
    targets.erase(0);
    return targets;
}

QString radicalsIn(const QString& text) {
    QStringList found;
    for (char32_t c : text.toUcs4())
        if (c >= 0x2E80 && c <= 0x2FDF)
            found << QStringLiteral("U+%1 %2")
                         .arg(uint(c), 4, 16, QLatin1Char('0'))
                         .toUpper()
                         .arg(QString::fromUcs4(&c, 1));
    return found.join(QLatin1Char(' '));
}

ui::ReportFields sampleReportFields() {
    ui::ReportFields f;
    f.id = QStringLiteral("123456");
    f.name = QStringLiteral("新生 太郎");
    f.technologist = QStringLiteral("技師 一郎");
    f.examDate = QStringLiteral("2026/12/08");
    f.bodyPart = QStringLiteral("腹部正面");
    f.thickness = QStringLiteral("10");
    f.xrayUnit = QStringLiteral("記録の装置");
    f.tubeVoltage = QStringLiteral("50");
    f.mAs = QStringLiteral("5");
    f.ffd = QStringLiteral("100");
    f.fieldSize = QStringLiteral("六切サイズ");
    f.dose = QStringLiteral("0.052");
    f.caregiver1 = QStringLiteral("0.012");
    f.caregiver2 = QStringLiteral("0.003");
    f.caregiver3 = QStringLiteral("0.001");
    return f;
}

void commitText(QWidget* field, const QString& text) {
    QInputMethodEvent typed;
    typed.setCommitString(text);
    QCoreApplication::sendEvent(field, &typed);
}

} // namespace tamso::uitest
