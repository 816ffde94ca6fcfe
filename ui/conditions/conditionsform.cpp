// The exposure-condition screen's form: its groups, fields and commands, their names, tab order
// and Enter chain.

#include "ui/conditions/conditionsscreen.h"

#include "engine/calculation.h"
#include "refdata/referencelevels.h"
#include "textio/quantitytext.h"
#include "ui/conditions/exposureinputs.h"
#include "ui/conditions/fieldsizepresets.h"
#include "ui/conditions/measuredexposuredialog.h"
#include "ui/kit/appresources.h"
#include "ui/kit/language.h"
#include "ui/kit/numberinput.h"
#include "ui/kit/uiutil.h"
#include "ui/report/reportfields.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDate>
#include <QDateEdit>
#include <QFont>
#include <QFontMetrics>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include <iterator>
#include <map>

namespace tamso::ui {

namespace {

QLabel* caption(QWidget* parent, const QString& name, const QString& text) {
    auto* label = new QLabel(text, parent);
    nameControl(label, name, text);
    return label;
}

// The product mark: "TAMSO-" and "Ⅱ", each drawn twice with an offset of 15 twips (1 pixel).
QWidget* productMark(QWidget* parent) {
    auto* mark = new QWidget(parent);
    nameControl(mark, QStringLiteral("ProductMark"), QStringLiteral("TAMSO-Ⅱ"));
    QFont font(timesFontFamily(), 20, QFont::Bold);
    font.setItalic(true);
    const QFontMetrics metrics(font);
    const int tamsoWidth = metrics.horizontalAdvance(QStringLiteral("TAMSO-"));
    const struct {
        const char* name;
        QString text;
        int x, y;
        const char* color;
    } parts[] = {{"Label49", QStringLiteral("TAMSO-"), 1, 1, "#9aa7b5"},
                 {"Label50", QStringLiteral("TAMSO-"), 0, 0, "#1d4f91"},
                 {"Label47", QStringLiteral("Ⅱ"), tamsoWidth + 3, 1, "#9aa7b5"},
                 {"Label48", QStringLiteral("Ⅱ"), tamsoWidth + 2, 0, "#c03030"}};
    for (const auto& part : parts) {
        auto* label = new QLabel(part.text, mark);
        nameControl(label, QString::fromLatin1(part.name), part.text);
        label->setFont(font);
        label->setStyleSheet(
            QStringLiteral("color: %1; background: transparent;").arg(QLatin1String(part.color)));
        label->move(part.x, part.y);
        label->adjustSize();
    }
    mark->setFixedSize(tamsoWidth + metrics.horizontalAdvance(QStringLiteral("Ⅱ")) + 8, metrics.height() + 4);
    return mark;
}

} // namespace

QPushButton* ConditionsScreen::makeCommand(QWidget* parent, const char* name, const QString& text,
                                           const QString& accessibleName) {
    auto* button = new QPushButton(text, parent);
    nameControl(button, QString::fromLatin1(name), accessibleName);
    // Enter presses the command that has the focus, as Space does: the Enter chain ends on the
    // calculation command and the run hands the focus on from command to command.
    button->setAutoDefault(true);
    return button;
}

QLineEdit* ConditionsScreen::addFieldRow(QGridLayout* grid, int row, QWidget* parent, const char* name,
                                         const QString& text, const QString& unit) {
    const QString fieldName = QString::fromLatin1(name);
    QLabel* label = caption(parent, QStringLiteral("Caption") + fieldName, text);
    QLineEdit* edit = makeField(parent, name, text);
    label->setBuddy(edit);
    grid->addWidget(label, row, 0);
    grid->addWidget(edit, row, 1);
    if (!unit.isEmpty())
        grid->addWidget(caption(parent, QStringLiteral("Unit") + fieldName, unit), row, 2);
    return edit;
}

QLineEdit* ConditionsScreen::makeField(QWidget* parent, const char* name, const QString& accessibleName) {
    auto* edit = new QLineEdit(parent);
    edit->setMinimumWidth(110);
    nameControl(edit, QString::fromLatin1(name), accessibleName);
    return edit;
}

void ConditionsScreen::buildControls() {
    auto* root = new QVBoxLayout(this);
    root->addLayout(buildHeading());

    auto* columns = new QHBoxLayout;
    auto* left = new QVBoxLayout;
    auto* right = new QVBoxLayout;
    columns->addLayout(left, 1);
    columns->addSpacing(8);
    columns->addLayout(right, 1);
    root->addLayout(columns);

    std::map<ConditionGroup, GroupGrid> groups;
    groups[ConditionGroup::ExposureSource] = buildExposureSourceGroup();
    groups[ConditionGroup::Unit] = buildUnitGroup();
    groups[ConditionGroup::Geometry] = buildGeometryGroup();
    groups[ConditionGroup::Results] =
        group("Frame4", QCoreApplication::translate("ConditionsScreen", "患児の入射表面線量"));
    groups[ConditionGroup::Caregivers] = buildCaregiverGroup();
    addTableFields(groups);

    left->addWidget(groups[ConditionGroup::ExposureSource].box);
    left->addWidget(groups[ConditionGroup::Unit].box);
    left->addWidget(groups[ConditionGroup::Geometry].box);
    command2_ = makeCommand(this, "Command2", QString(), QStringLiteral(" Go ! "));
    command2_->setIcon(svgIcon(QStringLiteral(":/tamso/go.svg"), QSize(40, 40)));
    command2_->setIconSize(QSize(40, 40));
    command2_->setToolTip(QStringLiteral(" Go ! "));
    command2_->setMinimumHeight(52);
    left->addWidget(command2_);
    left->addStretch();

    addReferenceLevelField(groups[ConditionGroup::Results]);
    // The spectrum of the run, in a window of its own.
    command14_ = makeCommand(groups[ConditionGroup::Results].box, "Command14",
                             QCoreApplication::translate("ConditionsScreen", "スペクトル表示"),
                             QCoreApplication::translate("ConditionsScreen", "スペクトル表示"));
    groups[ConditionGroup::Results].grid->addWidget(command14_, 11, 1);
    buildOrganDoseControls(groups[ConditionGroup::Geometry], groups[ConditionGroup::Results]);
    right->addWidget(groups[ConditionGroup::Results].box);
    right->addWidget(groups[ConditionGroup::Caregivers].box);
    right->addLayout(buildLeavingRow());
    right->addStretch();

    // Display-only fields.
    outputDataName_->setEnabled(false);
    xrayUnit_->setReadOnly(true);

    setTabOrderAndEnterChain();
    connectControls();
    closeOnEscape(this, command1_);
}

// Every input and result from the tables, in its group's grid.
void ConditionsScreen::addTableFields(const std::map<ConditionGroup, GroupGrid>& groups) {
    for (const ExposureInput& input : exposureInputs()) {
        const GroupGrid& g = groups.at(input.group);
        inputs_.push_back({&input, addFieldRow(g.grid, input.row, g.box, input.objectName,
                                               shownText(input.caption), shownText(input.unit))});
    }
    for (const ResultOutput& output : resultOutputs()) {
        const GroupGrid& g = groups.at(output.group);
        QLineEdit* edit = output.result == engine::ResultField::MeasuredExposureCkg
                              ? measured_ // stands beside its option button, which is its caption
                              : addFieldRow(g.grid, output.row, g.box, output.objectName,
                                            shownText(output.caption), shownText(output.unit));
        if (output.columns > 1)
            g.grid->addWidget(edit, output.row, 1, 1, output.columns);
        if (output.result == engine::ResultField::EntranceSurfaceDoseUncertaintyMGy) {
            // Wide enough for a two-digit dose with its uncertainty to five decimals, so the whole
            // text shows.
            const QString widest = qs(textio::doseWithUncertaintyText(99.99999, 0.00012));
            edit->setMinimumWidth(edit->fontMetrics().horizontalAdvance(widest) + 16);
        }
        // Enabled result fields show what the routines computed; they are not for typing, so the
        // report always receives computed values.
        if (output.enabled)
            edit->setReadOnly(true);
        else
            edit->setEnabled(false);
        resultFields_[output.result] = edit;
    }
    // The caregiver fields are named by their position caption only; give them a fuller name.
    for (auto result : {engine::ResultField::CaregiverDose1USv, engine::ResultField::CaregiverDose2USv,
                        engine::ResultField::CaregiverDose3USv})
        resultField(result)->setAccessibleName(
            QCoreApplication::translate("ConditionsScreen", "周辺線量当量 ") +
            resultField(result)->accessibleName());
}

// The dose against the diagnostic reference level of the body part.
void ConditionsScreen::addReferenceLevelField(const GroupGrid& g) {
    QLabel* label = caption(g.box, QStringLiteral("CaptionText27"),
                            QCoreApplication::translate("ConditionsScreen", "   参考レベル"));
    referenceLevel_ = makeField(g.box, "Text27", QCoreApplication::translate("ConditionsScreen", "参考レベル"));
    referenceLevel_->setReadOnly(true);
    // Wide enough for a level and ratio of two digits above the level, with room to spare for
    // longer number formats.
    const QString widest = referenceLevelText(refdata::compareWithLevel(99.999, 10.0547));
    referenceLevel_->setMinimumWidth(referenceLevel_->fontMetrics().horizontalAdvance(widest) * 11 / 10 + 16);
    label->setBuddy(referenceLevel_);
    g.grid->addWidget(label, 9, 0);
    g.grid->addWidget(referenceLevel_, 9, 1, 1, 2);
}

QHBoxLayout* ConditionsScreen::buildHeading() {
    auto* heading = new QHBoxLayout;
    QLabel* dateCaption =
        caption(this, QStringLiteral("Label51"), QCoreApplication::translate("ConditionsScreen", "撮影日"));
    date_ = new QDateEdit(this);
    nameControl(date_, QStringLiteral("DTPicker1"),
                QCoreApplication::translate("ConditionsScreen", "撮影日"));
    date_->setCalendarPopup(true);
    // An imported image without a date leaves the field at its first date, shown empty.
    date_->setMinimumDate(QDate(1900, 1, 1));
    date_->setSpecialValueText(QStringLiteral(" "));
    date_->setDisplayFormat(dateLocale().dateFormat(QLocale::ShortFormat));
    dateCaption->setBuddy(date_);
    wAirLabel_ = caption(this, QStringLiteral("Label52"), QString());
    command13_ = makeCommand(this, "Command13", QCoreApplication::translate("ConditionsScreen", "DICOM読込"),
                             QCoreApplication::translate("ConditionsScreen", "DICOM読込"));
    command13_->setToolTip(
        QCoreApplication::translate("ConditionsScreen", "DICOM画像から撮影条件を読み込みます"));
    heading->addWidget(dateCaption);
    heading->addWidget(date_);
    heading->addWidget(command13_);
    heading->addSpacing(24);
    heading->addWidget(wAirLabel_);
    heading->addWidget(caption(this, QStringLiteral("Label53"),
                               QCoreApplication::translate("ConditionsScreen", "として計算しています。")));
    heading->addStretch();
    heading->addWidget(productMark(this));
    return heading;
}

ConditionsScreen::GroupGrid ConditionsScreen::group(const char* name, const QString& title) {
    auto* box = new QGroupBox(title, this);
    nameControl(box, QString::fromLatin1(name), title);
    return {box, new QGridLayout(box)};
}

// Where the exposure at 1 m comes from.
ConditionsScreen::GroupGrid ConditionsScreen::buildExposureSourceGroup() {
    GroupGrid g =
        group("Frame1", QCoreApplication::translate("ConditionsScreen", "焦点から１ｍの距離の照射線量"));
    option5_ = new QRadioButton(QCoreApplication::translate("ConditionsScreen", "出力データを利用"), g.box);
    nameControl(option5_, QStringLiteral("Option5"), option5_->text());
    command12_ =
        makeCommand(g.box, "Command12", QCoreApplication::translate("ConditionsScreen", "出力データ編集"),
                    QCoreApplication::translate("ConditionsScreen", "出力データ編集"));
    g.grid->addWidget(option5_, 0, 0);
    g.grid->addWidget(command12_, 0, 1, 1, 2);
    outputDataName_ = addFieldRow(g.grid, 1, g.box, "Text24",
                                  QCoreApplication::translate("ConditionsScreen", "出力データ名"), QString());
    option4_ = new QRadioButton(QCoreApplication::translate("ConditionsScreen", "実測値を直接入力"), g.box);
    nameControl(option4_, QStringLiteral("Option4"), option4_->text());
    measured_ = makeField(g.box, "Text19", QCoreApplication::translate("ConditionsScreen", "実測値"));
    g.grid->addWidget(option4_, 2, 0);
    g.grid->addWidget(measured_, 2, 1);
    g.grid->addWidget(caption(g.box, QStringLiteral("Label30"),
                              QCoreApplication::translate("ConditionsScreen", "照射線量 at １ｍ")),
                      3, 0);
    g.grid->addWidget(caption(g.box, QStringLiteral("Label31"), QStringLiteral("C/kg")), 3, 1);
    return g;
}

// Conditions (1): X-ray unit and filtration.
ConditionsScreen::GroupGrid ConditionsScreen::buildUnitGroup() {
    GroupGrid g = group("Frame2", QCoreApplication::translate("ConditionsScreen", "照射条件 (１)"));
    xrayUnit_ = addFieldRow(g.grid, 0, g.box, "Text29",
                            QCoreApplication::translate("ConditionsScreen", "撮影装置名"), QString());
    xrayUnit_->setMinimumWidth(180);
    g.grid->addWidget(caption(g.box, QStringLiteral("Label20"),
                              QCoreApplication::translate("ConditionsScreen", " フード・カバー（PMMA ）")),
                      5, 0);
    auto* hoodRow = new QHBoxLayout;
    hoodRow->addWidget(caption(g.box, QStringLiteral("Label21"), QStringLiteral("6")));
    hoodRow->addWidget(caption(g.box, QStringLiteral("Label22"), QStringLiteral("mm")));
    hoodRow->addWidget(caption(g.box, QStringLiteral("Label23"),
                               QCoreApplication::translate("ConditionsScreen", "(固定値)")));
    hoodRow->addStretch();
    g.grid->addLayout(hoodRow, 5, 1, 1, 2);
    return g;
}

// Conditions (2): body part, exposure, distances and field size.
ConditionsScreen::GroupGrid ConditionsScreen::buildGeometryGroup() {
    GroupGrid g = group("Frame3", QCoreApplication::translate("ConditionsScreen", "照射条件 (２)"));
    auto addCombo = [&](const char* name, const QString& text, int row) {
        QLabel* label = caption(g.box, QStringLiteral("Caption") + QString::fromLatin1(name), text);
        auto* combo = new QComboBox(g.box);
        combo->setEditable(true);
        combo->setInsertPolicy(QComboBox::NoInsert);
        nameControl(combo, QString::fromLatin1(name), text);
        label->setBuddy(combo);
        g.grid->addWidget(label, row, 0);
        g.grid->addWidget(combo, row, 1);
        return combo;
    };
    combo2_ = addCombo("Combo2", QCoreApplication::translate("ConditionsScreen", "   照射部位"), 0);
    combo1_ =
        addCombo("Combo1", QCoreApplication::translate("ConditionsScreen", " 受像器面での照射野サイズ"), 6);
    combo1_->addItems(fieldSizeListEntries());
    return g;
}

ConditionsScreen::GroupGrid ConditionsScreen::buildCaregiverGroup() {
    GroupGrid g = group("Frame5", QCoreApplication::translate("ConditionsScreen", "介助者の被ばく線量"));
    command3_ = makeCommand(g.box, "Command3", QCoreApplication::translate("ConditionsScreen", "周辺線量"),
                            QCoreApplication::translate("ConditionsScreen", "周辺線量"));
    command4_ = makeCommand(g.box, "Command4", QCoreApplication::translate("ConditionsScreen", "計算する"),
                            QCoreApplication::translate("ConditionsScreen", "計算する"));
    command4_->setIcon(svgIcon(QStringLiteral(":/tamso/calc.svg"), QSize(24, 24)));
    command4_->setIconSize(QSize(24, 24));
    command4_->setToolTip(QStringLiteral(" Go ! "));
    command5_ = makeCommand(g.box, "Command5",
                            QCoreApplication::translate("ConditionsScreen", "周辺線量の実測データ編集"),
                            QCoreApplication::translate("ConditionsScreen", "周辺線量の実測データ編集"));
    g.grid->addWidget(command3_, 0, 0);
    g.grid->addWidget(command4_, 0, 1);
    g.grid->addWidget(command5_, 1, 0, 1, 3);
    g.grid->addWidget(caption(g.box, QStringLiteral("Label40"),
                              QCoreApplication::translate("ConditionsScreen", "周辺線量当量")),
                      2, 0);
    // "     Sv/exposure" with a separate "μ" laid over its blank start.
    auto* unit = new QWidget(g.box);
    nameControl(unit, QStringLiteral("UnitCaregiver"), QStringLiteral("μSv/exposure"));
    QLabel* sv = caption(unit, QStringLiteral("Label41"), QStringLiteral("     Sv/exposure"));
    QLabel* mu = caption(unit, QStringLiteral("Label42"), QStringLiteral("μ"));
    sv->adjustSize();
    mu->adjustSize();
    const QFontMetrics metrics(sv->font());
    mu->move(metrics.horizontalAdvance(QStringLiteral("     ")) -
                 metrics.horizontalAdvance(QStringLiteral("μ")),
             0);
    unit->setMinimumSize(sv->sizeHint());
    g.grid->addWidget(unit, 2, 1, 1, 2);
    return g;
}

// The report command, " bye bye " and the four decorative pictures.
QHBoxLayout* ConditionsScreen::buildLeavingRow() {
    auto* row = new QHBoxLayout;
    command6_ =
        makeCommand(this, "Command6", QString(), QCoreApplication::translate("ConditionsScreen", "報告書へ"));
    command6_->setIcon(svgIcon(QStringLiteral(":/tamso/report.svg"), QSize(40, 60)));
    command6_->setIconSize(QSize(40, 60));
    command6_->setToolTip(QCoreApplication::translate("ConditionsScreen", "報告書へ"));
    command6_->setMinimumSize(64, 84);
    command1_ = makeCommand(this, "Command1", QString(), QStringLiteral(" bye bye "));
    command1_->setIcon(svgIcon(QStringLiteral(":/tamso/bye.svg"), QSize(24, 24)));
    command1_->setIconSize(QSize(24, 24));
    command1_->setToolTip(QStringLiteral(" bye bye "));
    // Four decorative pictures of the subject: tube, incubator, infant, dosimeter.
    const struct {
        const char* name;
        const char* resource;
        QString caption;
    } pictures[] = {
        {"Image1", ":/tamso/deco-tube.svg", QCoreApplication::translate("ConditionsScreen", "Ｘ線管")},
        {"Image2", ":/tamso/deco-incubator.svg", QCoreApplication::translate("ConditionsScreen", "保育器")},
        {"Image3", ":/tamso/deco-infant.svg", QCoreApplication::translate("ConditionsScreen", "患児")},
        {"Image4", ":/tamso/deco-dosimeter.svg", QCoreApplication::translate("ConditionsScreen", "線量計")}};
    for (const auto& picture : pictures) {
        auto* image = new QLabel(this);
        nameControl(image, QString::fromLatin1(picture.name), picture.caption);
        image->setPixmap(svgPixmap(QString::fromLatin1(picture.resource), QSize(40, 40)));
        row->addWidget(image, 0, Qt::AlignBottom);
    }
    row->addStretch();
    row->addWidget(command6_);
    row->addSpacing(16);
    row->addWidget(command1_, 0, Qt::AlignBottom);
    return row;
}

QWidget* ConditionsScreen::control(const char* name) const {
    return findChild<QWidget*>(QString::fromLatin1(name));
}

void ConditionsScreen::setTabOrderAndEnterChain() {
    // Tab order: the form from top to bottom, the left column before the right one.
    const char* const tabOrder[] = {"DTPicker1", "Command13", "Option5",  "Command12", "Option4",  "Text1",
                                    "Text2",     "Text3",     "Text4",    "Combo2",    "Text5",    "Text6",
                                    "Text8",     "Text23",    "Text9",    "Combo1",    "Text10",   "Text11",
                                    "Command2",  "Command14", "Command3", "Command4",  "Command5", "Command6",
                                    "Command1"};
    for (size_t i = 1; i < std::size(tabOrder); ++i)
        setTabOrder(control(tabOrder[i - 1]), control(tabOrder[i]));

    // Enter in an input moves the focus along the inputs' chain; the key itself goes on as usual.
    auto focusTo = [](QWidget* target) { return [target] { target->setFocus(Qt::TabFocusReason); }; };
    for (const Input& input : inputs_) {
        enterActions_.insert(input.edit, focusTo(control(input.entry->enterNext)));
        input.edit->installEventFilter(this);
        foldWideCharacters(input.edit);
    }
    for (QComboBox* combo : {combo1_, combo2_}) {
        combo->installEventFilter(this);
        combo->lineEdit()->installEventFilter(this);
    }
    // The date heads the form: Enter there goes on to the first input.
    date_->installEventFilter(this);
    enterActions_.insert(date_, focusTo(inputs_.front().edit));
    QWidget* afterBodyPart = inputEdit(&engine::ConditionTexts::tubeVoltageKv);
    enterActions_.insert(combo2_, focusTo(afterBodyPart));
    enterActions_.insert(combo2_->lineEdit(), focusTo(afterBodyPart));
    enterActions_.insert(combo1_, [this] { comboEnterPressed(); });
    enterActions_.insert(combo1_->lineEdit(), [this] { comboEnterPressed(); });
}

} // namespace tamso::ui
