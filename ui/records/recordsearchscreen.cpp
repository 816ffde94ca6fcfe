#include "ui/records/recordsearchscreen.h"

#include "records/technologistlist.h"
#include "textio/fileio.h"
#include "textio/numberformat.h"
#include "textio/numbertext.h"
#include "textio/quantitytext.h"
#include "ui/kit/messagebox.h"
#include "ui/kit/uiutil.h"
#include "ui/records/recordwithdrawdialog.h"
#include "ui/report/reportfields.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QFont>
#include <QFontDatabase>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QStyle>
#include <QStyledItemDelegate>

namespace tamso::ui {

using records::ListValue;
using records::listValueText;
using records::PatientRecord;
using records::PatientRecordState;

namespace {

// A dose with three decimals, as every dose is shown: a stored number, and equally a text that
// reads as a decimal number (a value that was quoted in the file); any other text as stored,
// nothing empty.
QString formattedDose(const ListValue& value) {
    if (const double* number = std::get_if<double>(&value))
        return qs(textio::doseText(*number));
    if (const std::string* text = std::get_if<std::string>(&value))
        if (const auto number = textio::parseNumber(*text))
            return qs(textio::doseText(*number));
    return qs(listValueText(value));
}

// The record list's font: fixed pitch, so that the rows line up under the column headings. The
// Japanese fixed-pitch Gothic where the system has one; otherwise an installed fixed-pitch font,
// whose missing Japanese glyphs come from the Japanese Gothic.
QFont recordListFont() {
    const QStringList families = QFontDatabase::families();
    QString family;
    for (const QString& name : {QStringLiteral("ＭＳ ゴシック"), QStringLiteral("MS Gothic"),
                                QStringLiteral("IPAGothic"), QStringLiteral("TakaoGothic"),
                                QStringLiteral("VL Gothic"), QStringLiteral("Noto Sans Mono CJK JP")})
        if (families.contains(name)) {
            family = name;
            break;
        }
    auto fixedFamily = [&](QFontDatabase::WritingSystem system) {
        for (const QString& name : families)
            if (QFontDatabase::isFixedPitch(name) && QFontDatabase::writingSystems(name).contains(system))
                return name;
        return QString();
    };
    if (family.isEmpty())
        family = fixedFamily(QFontDatabase::Japanese);
    if (family.isEmpty())
        family = fixedFamily(QFontDatabase::Latin);
    QFont font;
    if (family.isEmpty())
        font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    else
        font.setFamily(family);
    font.setFamilies({font.family(), QStringLiteral("ＭＳ ゴシック")});
    font.setStyleHint(QFont::TypeWriter);
    font.setFixedPitch(true);
    font.setPointSize(9);
    return font;
}

// The role of a record row that holds its four columns.
constexpr int kColumnsRole = Qt::UserRole + 1;

// Draws each record row in the columns under the list's headings; the row's text stays the whole
// row, as screen readers and the show command read it.
class RecordRowDelegate : public QStyledItemDelegate {
public:
    RecordRowDelegate(const RecordSearchScreen* screen, QObject* parent)
        : QStyledItemDelegate(parent), screen_(screen) {}
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        QStyleOptionViewItem background = option;
        initStyleOption(&background, index);
        background.text.clear();
        const QWidget* view = option.widget;
        QStyle* style = view ? view->style() : QApplication::style();
        style->drawControl(QStyle::CE_ItemViewItem, &background, painter, view);
        const QStringList columns = index.data(kColumnsRole).toStringList();
        painter->save();
        painter->setFont(background.font); // struck through for a withdrawn record
        painter->setPen(option.palette.color(option.state & QStyle::State_Selected ? QPalette::HighlightedText
                                                                                   : QPalette::Text));
        for (int c = 0; c < columns.size() && c < 4; ++c) {
            const QRect column = screen_->recordColumn(c);
            const QRect cell(column.left() + 2, option.rect.top(), column.width() - 4, option.rect.height());
            painter->drawText(cell, Qt::AlignLeft | Qt::AlignVCenter,
                              option.fontMetrics.elidedText(columns[c], Qt::ElideRight, cell.width()));
        }
        painter->restore();
    }

private:
    const RecordSearchScreen* screen_;
};

} // namespace

namespace {

// A command with its caption, its name for assistive technology and its tip.
QPushButton* addCommand(QWidget* parent, const char* name, const QString& caption, const QString& accessibleName,
                        const QString& toolTip, int left, int top, int width, int height) {
    auto* command = new QPushButton(caption, parent);
    nameControl(command, QString::fromLatin1(name), accessibleName);
    command->setToolTip(toolTip);
    placeTwips(command, left, top, width, height);
    return command;
}

} // namespace

RecordSearchScreen::RecordSearchScreen(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("Form5"));
    setWindowTitle(QCoreApplication::translate("RecordSearchScreen", "TAMSO Ⅱ データ検索"));
    setFixedSize(twips(9480), twips(6720));
    buildPatientChoice();
    buildRecordList();
    connectControls();
    resetForOpening();
}

// The patient files, the ID and name fields and the command listing the chosen infant's records.
void RecordSearchScreen::buildPatientChoice() {
    addLabel(this, QStringLiteral("Label1"),
             QCoreApplication::translate("RecordSearchScreen", "患者ファイル ( ID番号) 選択"), 240, 300, 3615,
             255);
    file1_ = new QListWidget(this);
    nameControl(file1_, QStringLiteral("File1"),
                QCoreApplication::translate("RecordSearchScreen", "患者ファイル ( ID番号) 選択"));
    placeTwips(file1_, 240, 600, 3615, 4365);
    file1_->setSelectionMode(QAbstractItemView::SingleSelection);

    addLabel(this, QStringLiteral("Label2"), QCoreApplication::translate("RecordSearchScreen", "患者ID"), 240,
             5100, 1155, 255);
    text1_ = new QLineEdit(this);
    nameControl(text1_, QStringLiteral("Text1"), QCoreApplication::translate("RecordSearchScreen", "患者ID"));
    placeTwips(text1_, 1440, 5040, 2415, 375);
    addLabel(this, QStringLiteral("Label3"), QCoreApplication::translate("RecordSearchScreen", "患者氏名"),
             240, 5460, 1155, 255);
    text2_ = new QLineEdit(this);
    nameControl(text2_, QStringLiteral("Text2"),
                QCoreApplication::translate("RecordSearchScreen", "患者氏名"));
    placeTwips(text2_, 1440, 5400, 2415, 375);

    command2_ = addCommand(this, "Command2", QStringLiteral("OK"),
                           QCoreApplication::translate("RecordSearchScreen", "OK（データ一覧）"),
                           QCoreApplication::translate("RecordSearchScreen", "選んだ患児の記録を一覧にします"), 1200,
                           5880, 1695, 495);
}

// The records of the chosen infant under their headings, and the commands on a chosen record.
void RecordSearchScreen::buildRecordList() {
    headings_[0] = addLabel(this, QStringLiteral("Label4"), QStringLiteral("No."), 4080, 240, 480, 255);
    headings_[1] =
        addLabel(this, QStringLiteral("Label5"),
                 QCoreApplication::translate("RecordSearchScreen", "撮影年月日"), 4560, 240, 1560, 255);
    headings_[2] =
        addLabel(this, QStringLiteral("Label6"),
                 QCoreApplication::translate("RecordSearchScreen", "撮影部位"), 6120, 240, 1200, 255);
    headings_[3] =
        addLabel(this, QStringLiteral("Label7"),
                 QCoreApplication::translate("RecordSearchScreen", "入射表面線量"), 7320, 240, 2040, 255);
    list1_ = new QListWidget(this);
    nameControl(list1_, QStringLiteral("List1"),
                QCoreApplication::translate("RecordSearchScreen", "データ一覧"));
    placeTwips(list1_, 4080, 600, 5055, 5235);
    list1_->setSelectionMode(QAbstractItemView::SingleSelection);
    list1_->setFont(recordListFont());
    list1_->setItemDelegate(new RecordRowDelegate(this, list1_));
    list1_->setTextElideMode(Qt::ElideRight);

    command3_ = addCommand(this, "Command3", QStringLiteral("OK"),
                           QCoreApplication::translate("RecordSearchScreen", "OK（報告書に表示）"),
                           QCoreApplication::translate("RecordSearchScreen", "選んだ記録を報告書に表示します"), 5640,
                           5880, 1695, 495);
    command4_ = addCommand(this, "Command4", QCoreApplication::translate("RecordSearchScreen", "線量履歴"),
                           QCoreApplication::translate("RecordSearchScreen", "線量履歴"),
                           QCoreApplication::translate("RecordSearchScreen", "選択した患児の全撮影の線量と累積線量"),
                           7440, 5880, 1215, 495);
    command5_ = addCommand(
        this, "Command5", QCoreApplication::translate("RecordSearchScreen", "記録取消"),
        QCoreApplication::translate("RecordSearchScreen", "記録を取り消す"),
        QCoreApplication::translate(
            "RecordSearchScreen", "選択した記録を取り消します（線量履歴、累積線量、監査に数えなくなります）"),
        4080, 5880, 1455, 495);
    command1_ = addCommand(this, "Command1", QString(), QStringLiteral("bye bye"), QStringLiteral(" bye bye "),
                           8760, 6000, 495, 495);
    command1_->setIcon(style()->standardIcon(QStyle::SP_DialogCloseButton));
}

void RecordSearchScreen::connectControls() {
    // Only the user chooses a file: a click, or selecting it with the keyboard. The list taking the
    // focus makes an entry current without selecting it, and that chooses nothing.
    connect(file1_, &QListWidget::itemClicked, this, &RecordSearchScreen::fileChosen);
    connect(file1_, &QListWidget::itemSelectionChanged, this, [this] {
        const QList<QListWidgetItem*> selected = file1_->selectedItems();
        if (!refreshing_ && !selected.isEmpty())
            fileChosen(selected.first());
    });
    // An ID typed and entered chooses its file, as choosing it in the list does.
    connect(text1_, &QLineEdit::returnPressed, this, &RecordSearchScreen::chooseTypedId);
    connect(command2_, &QPushButton::clicked, this, &RecordSearchScreen::listRecords);
    connect(command3_, &QPushButton::clicked, this, &RecordSearchScreen::showChosenRecord);
    connect(command5_, &QPushButton::clicked, this, &RecordSearchScreen::withdrawChosenRecord);
    connect(command4_, &QPushButton::clicked, this, [this] {
        if (!chosenId_.isEmpty())
            emit doseHistoryRequested(chosenId_);
    });
    connect(command1_, &QPushButton::clicked, this, &QWidget::hide);
    closeOnEscape(this, command1_);
}

void RecordSearchScreen::resetForOpening() {
    text1_->clear();
    text2_->clear();
    command2_->setEnabled(false);
    command3_->setEnabled(false);
    command4_->setEnabled(false);
    chosenFile_.clear();
    chosenId_.clear();
    refreshFileList();
    clearRecordList();
}

void RecordSearchScreen::refreshFileList() {
    refreshing_ = true;
    file1_->clear();
    const QDir folder(workingFolder());
    // "*.pat" only: the lock files beside the record files ("<ID>.pat.lock") are never listed. An
    // infant is listed once, by its first file; its continuation files belong to it.
    const QStringList names = folder.entryList({QStringLiteral("*.pat")}, QDir::Files, QDir::Name);
    for (const QString& name : names) {
        const auto parsed = records::parseRecordFileName(utf8(name));
        if (parsed && parsed->part >= 2 &&
            QFileInfo::exists(folder.filePath(qs(records::recordFileName(parsed->patientId, 1)))))
            continue;
        const QString id = name.chopped(4); // as chosen: the name less ".pat"
        const std::optional<std::string> patient =
            records::readPatientName(textio::fileInFolder(workingFolderPath(), utf8(name)));
        auto* entry = new QListWidgetItem(
            patient && !patient->empty() ? id + QChar(0x3000) + qs(*patient) : id, file1_);
        entry->setData(kFileNameRole, name);
    }
    refreshing_ = false;
}

void RecordSearchScreen::chooseTypedId() {
    const QString id = text1_->text().trimmed();
    if (id.isEmpty())
        return;
    const QString fileName = qs(records::recordFileName(utf8(id), 1));
    QList<QListWidgetItem*> found;
    for (int i = 0; i < file1_->count(); ++i)
        if (file1_->item(i)->data(kFileNameRole).toString() == fileName)
            found << file1_->item(i);
    if (found.isEmpty()) {
        MessageBox::warning(this, QCoreApplication::translate("RecordSearchScreen",
                                                              "患者ID「%1」の患者ファイルはありません。")
                                      .arg(id));
        text1_->selectAll();
        return;
    }
    file1_->setCurrentItem(found.first()); // selects it, which chooses it
    if (chosenFile_.empty() || chosenId_ != id)
        fileChosen(found.first());
    command2_->setFocus(Qt::OtherFocusReason);
}

void RecordSearchScreen::clearRecordList() {
    list1_->clear();
    listed_.reset();
    listedWithdrawals_ = {};
    listedId_.clear();
    command3_->setEnabled(false);
    command5_->setEnabled(false);
}

void RecordSearchScreen::fileChosen(QListWidgetItem* item) {
    if (!item)
        return;
    const QString fileName = item->data(kFileNameRole).toString();
    chosenFile_ = textio::fileInFolder(workingFolderPath(), utf8(fileName));
    chosenId_ = fileName.chopped(qMin<qsizetype>(4, fileName.size()));
    text1_->setText(chosenId_);
    command4_->setEnabled(true);
    // The records listed for another file no longer match the ID and name shown.
    clearRecordList();
    const std::optional<std::string> name = records::readPatientName(chosenFile_);
    records::PatientRecords.patientName = name.value_or(std::string());
    text2_->setText(qs(records::PatientRecords.patientName));
    if (!records::PatientRecords.patientName.empty())
        command2_->setEnabled(true);
}

void RecordSearchScreen::listRecords() {
    clearRecordList();
    if (chosenFile_.empty())
        return;
    // Every file of the infant: the first file and its continuations, numbered on across them.
    auto history = records::loadPatientHistory(workingFolderPath(), utf8(chosenId_));
    if (!history.ok()) {
        MessageBox::warning(this, coreText(history.error()));
        return;
    }
    if (history->records.empty()) { // the file went away since it was listed
        MessageBox::warning(
            this, QCoreApplication::translate("RecordSearchScreen", "患者ファイル「%1」がありません。")
                      .arg(qs(textio::fileNameUtf8(chosenFile_))));
        return;
    }
    records::PatientRecords.patientName = history->patientName;
    listedWithdrawals_ =
        records::loadWithdrawnRecords(workingFolderPath(), utf8(chosenId_), history->records);
    listed_ = std::move(*history);
    listedId_ = chosenId_;
    for (int i = 1; i <= listed_->recordCount(); ++i) {
        const PatientRecord& record = listed_->records[static_cast<size_t>(i - 1)];
        const records::Withdrawal* withdrawn = listedWithdrawals_.find(i);
        QStringList columns = recordColumns(record, i);
        auto* row = new QListWidgetItem(recordRow(record, i), list1_);
        row->setData(Qt::UserRole, i);
        row->setToolTip(row->text());
        if (withdrawn) {
            columns.last().prepend(withdrawnMark()); // seen however long the dose
            row->setText(row->text() + QLatin1Char(' ') + withdrawnMark().trimmed());
            QFont struck = list1_->font();
            struck.setStrikeOut(true);
            row->setFont(struck);
            row->setToolTip(row->text() + QLatin1Char('\n') +
                            QCoreApplication::translate("RecordSearchScreen", "取り消し: %1 %2\n理由: %3")
                                .arg(qs(withdrawn->time), qs(withdrawn->withdrawnBy), qs(withdrawn->reason)));
        }
        row->setData(kColumnsRole, columns);
    }
    command3_->setEnabled(true);
    command5_->setEnabled(true);
    // Withdrawals that are not applied: those records count, and the user is told why.
    if (!listedWithdrawals_.problems.empty()) {
        QStringList problems;
        for (const std::string& problem : listedWithdrawals_.problems)
            problems << qs(problem);
        MessageBox::warning(this, problems.join(QLatin1Char('\n')));
    }
}

QString RecordSearchScreen::withdrawnMark() {
    return QCoreApplication::translate("RecordSearchScreen", "（取消）");
}

QString RecordSearchScreen::recordRow(const PatientRecord& record, int recordNumber) {
    const QStringList c = recordColumns(record, recordNumber);
    return c[0] + QStringLiteral(" : ") + c[1] + QStringLiteral(" - ") + c[2] + QStringLiteral(" - ") + c[3];
}

QStringList RecordSearchScreen::recordColumns(const PatientRecord& record, int recordNumber) {
    return {QStringLiteral("%1").arg(recordNumber, 2, 10, QLatin1Char('0')), qs(record.examDate),
            qs(record.bodyPart), formattedDose(record.entranceSurfaceDoseMGy) + QStringLiteral(" mGy")};
}

QRect RecordSearchScreen::recordColumn(int column) const {
    const QWidget* viewport = list1_->viewport();
    auto leftOf = [&](int c) { return viewport->mapFrom(this, headings_[c]->geometry().topLeft()).x(); };
    const int left = std::max(0, leftOf(column));
    const int right = column < 3 ? leftOf(column + 1) : viewport->width();
    return QRect(left, 0, std::max(0, right - left), viewport->height());
}

ReportFields RecordSearchScreen::reportFieldsFor(const records::PatientHistory& listed, int n,
                                                 const QString& id) {
    const PatientRecord& r = listed.records[static_cast<size_t>(n - 1)];
    ReportFields f;
    f.id = id;
    f.storedRecordNumber = n;
    f.name = qs(listed.patientName);
    f.technologist = qs(r.technologist);
    f.examDate = qs(r.examDate);
    f.bodyPart = qs(r.bodyPart);
    f.thickness = qs(listValueText(r.subjectThicknessCm));
    f.xrayUnit = qs(r.xrayUnit);
    f.tubeVoltage = qs(listValueText(r.tubeVoltageKv));
    f.mAs = qs(listValueText(r.mAs));
    f.ffd = qs(listValueText(r.ffdCm));
    f.fieldSize = qs(r.fieldSize);
    f.dose = formattedDose(r.entranceSurfaceDoseMGy);
    f.caregiver1 = formattedDose(r.caregiverDoseUSv[0]);
    f.caregiver2 = formattedDose(r.caregiverDoseUSv[1]);
    f.caregiver3 = formattedDose(r.caregiverDoseUSv[2]);
    return f;
}

int RecordSearchScreen::chosenRecordNumber() {
    QListWidgetItem* row = list1_->currentItem();
    const int n = row && row->isSelected() && listed_ ? row->data(Qt::UserRole).toInt() : 0;
    if (n < 1 || n > (listed_ ? listed_->recordCount() : 0)) {
        MessageBox::warning(
            this, QCoreApplication::translate("RecordSearchScreen", "検索データ番号を選択して下さい。"));
        return 0;
    }
    return n; // the number the row begins with
}

void RecordSearchScreen::showChosenRecord() {
    const int n = chosenRecordNumber();
    if (n == 0)
        return;
    ReportFields fields = reportFieldsFor(*listed_, n, listedId_);
    if (listedWithdrawals_.find(n)) {
        // It has no exposure number any more: the report takes it as a new exposure, which is what
        // it becomes when it is corrected and saved again.
        fields.storedRecordNumber = 0;
        MessageBox::notice(this, QCoreApplication::translate(
                                     "RecordSearchScreen",
                                     "この記録は取り消されています。報告書では新しい撮影として扱います。"
                                     "訂正して「データ保存」すると、新しい記録として保存されます。"));
    }
    emit recordChosen(fields);
}

void RecordSearchScreen::withdrawChosenRecord() {
    const int n = chosenRecordNumber();
    if (n == 0)
        return;
    if (const records::Withdrawal* earlier = listedWithdrawals_.find(n)) {
        MessageBox::warning(this, coreText(records::alreadyWithdrawn(*earlier)));
        return;
    }
    const PatientRecord record = listed_->records[static_cast<size_t>(n - 1)];
    const QString recordText = recordRow(record, n);
    records::TechnologistList technologists;
    ignoreFailure(technologists.read(workingFolderPath()), "without a list, a name is typed");
    QStringList names;
    for (const std::string& name : technologists.names())
        names << qs(name);
    RecordWithdrawDialog dialog(recordText, names, this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    if (!MessageBox::askYesNo(
            this,
            QCoreApplication::translate("RecordSearchScreen", "記録「%1」を取り消しますか？\n理由: %2")
                .arg(recordText, dialog.reason()),
            MessageBox::Answer::No))
        return;
    records::WithdrawalRequest request;
    request.recordNumber = n;
    request.listed = record;
    request.withdrawnBy = utf8(dialog.withdrawnBy());
    request.reason = utf8(dialog.reason());
    request.time = utf8(QDateTime::currentDateTime().toString(QStringLiteral("yyyy/MM/dd HH:mm:ss")));
    const Status done = records::withdrawRecord(workingFolderPath(), utf8(listedId_), request);
    if (!done.ok()) {
        MessageBox::warning(this, coreText(done.error()));
        return;
    }
    listRecords(); // shows it withdrawn
    list1_->setCurrentRow(n - 1);
    MessageBox::notice(this, QCoreApplication::translate("RecordSearchScreen", "記録を取り消しました。"));
}

} // namespace tamso::ui
