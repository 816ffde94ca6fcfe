#include "ui/conditions/conditionsscreen.h"

#include "engine/conditionlimits.h"

#include "dicom/imageexposure.h"
#include "engine/calculation.h"
#include "engine/calculationstate.h"
#include "records/exposurerecord.h"
#include "refdata/referencelevels.h"
#include "textio/fileio.h"
#include "textio/numberformat.h"
#include "textio/numbertext.h"
#include "textio/quantitytext.h"
#include "ui/conditions/exposureinputs.h"
#include "ui/conditions/fieldsizepresets.h"
#include "ui/conditions/measuredexposuredialog.h"
#include "ui/kit/appresources.h"
#include "ui/kit/language.h"
#include "ui/kit/messagebox.h"
#include "ui/kit/numberinput.h"
#include "ui/kit/uiutil.h"
#include "ui/report/reportfields.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDate>
#include <QDateEdit>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPalette>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include <algorithm>

namespace tamso::ui {

namespace {

// The dose and its comparison above the reference level of the body part.
const QColor kAboveLevel(0xd0, 0x00, 0x00);

QString numberText(double value) {
    return qs(textio::numberToText(value));
}
// The text-to-number rule on what the field shows, full-width digits read as ASCII.
double fieldValue(const QLineEdit* field) {
    return textio::textToNumber(utf8(asciiNumberText(field->text())));
}

QLabel* caption(QWidget* parent, const QString& name, const QString& text) {
    auto* label = new QLabel(text, parent);
    nameControl(label, name, text);
    return label;
}

bool isEnterKey(QEvent* event) {
    if (event->type() != QEvent::KeyPress)
        return false;
    const int key = static_cast<QKeyEvent*>(event)->key();
    return key == Qt::Key_Return || key == Qt::Key_Enter;
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

ConditionsScreen::ConditionsScreen(QWidget* parent) : QWidget(parent, Qt::Window) {
    ensureResources();
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral(" TAMSOⅡ- Kelvo"));
    setFont(QFont(gothicFontFamily(), 10));
    buildControls();
    loadDefaults();
}

ConditionsScreen::~ConditionsScreen() = default;

QLineEdit* ConditionsScreen::inputEdit(std::string engine::ConditionTexts::*condition) const {
    for (const Input& input : inputs_)
        if (input.entry->condition == condition)
            return input.edit;
    return nullptr;
}

QLineEdit* ConditionsScreen::resultField(engine::ResultField result) const {
    auto it = resultFields_.find(result);
    return it == resultFields_.end() ? nullptr : it->second;
}

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

    // Every input and result from the tables, in its group's grid.
    for (const ExposureInput& input : exposureInputs()) {
        const GroupGrid& g = groups[input.group];
        inputs_.push_back({&input, addFieldRow(g.grid, input.row, g.box, input.objectName,
                                               shownText(input.caption), shownText(input.unit))});
    }
    for (const ResultOutput& output : resultOutputs()) {
        const GroupGrid& g = groups[output.group];
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

    // The dose against the diagnostic reference level of the body part.
    {
        GroupGrid& g = groups[ConditionGroup::Results];
        QLabel* label = caption(g.box, QStringLiteral("CaptionText27"),
                                QCoreApplication::translate("ConditionsScreen", "   参考レベル"));
        referenceLevel_ =
            makeField(g.box, "Text27", QCoreApplication::translate("ConditionsScreen", "参考レベル"));
        referenceLevel_->setReadOnly(true);
        // Wide enough for a level and ratio of two digits above the level, with room to spare for
        // longer number formats.
        const QString widest = referenceLevelText(refdata::compareWithLevel(99.999, 10.0547));
        referenceLevel_->setMinimumWidth(referenceLevel_->fontMetrics().horizontalAdvance(widest) * 11 / 10 +
                                         16);
        label->setBuddy(referenceLevel_);
        g.grid->addWidget(label, 9, 0);
        g.grid->addWidget(referenceLevel_, 9, 1, 1, 2);
    }
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

void ConditionsScreen::connectControls() {
    // The inputs the shown results depend on: a changed value clears them.
    for (const Input& input : inputs_)
        connect(input.edit, &QLineEdit::textChanged, this, [this] { checkInputsAgainstRun(); });
    connect(combo1_, &QComboBox::currentTextChanged, this, [this] { checkInputsAgainstRun(); });

    // Lists.
    connect(combo1_, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (index >= 0)
            applyFieldSizePreset(combo1_->itemText(index));
        unmarkDicom(inputEdit(&engine::ConditionTexts::fieldLongCm));
        unmarkDicom(inputEdit(&engine::ConditionTexts::fieldShortCm));
    });
    connect(combo1_, &QComboBox::textActivated, this, &ConditionsScreen::applyFieldSizePreset);
    connect(combo2_, &QComboBox::currentTextChanged, this, [this] { showReferenceLevel(); });
    connect(combo2_, &QComboBox::activated, this,
            [this] { inputEdit(&engine::ConditionTexts::tubeVoltageKv)->setFocus(Qt::TabFocusReason); });

    // Options and commands.
    connect(option5_, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            selectOutputData();
    });
    connect(option4_, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            openMeasuredExposure();
    });
    // Clicking the already selected option opens the dialog again for a new reading.
    connect(option4_, &QRadioButton::clicked, this, [this] {
        if (option4_->isChecked() && !(measuredDialog_ && measuredDialog_->isVisible()))
            openMeasuredExposure();
    });
    connect(command2_, &QPushButton::clicked, this, &ConditionsScreen::runCalculation);
    connect(command3_, &QPushButton::clicked, this, &ConditionsScreen::showAmbientDose);
    connect(command4_, &QPushButton::clicked, this, &ConditionsScreen::runCaregiverEstimate);
    connect(command6_, &QPushButton::clicked, this, &ConditionsScreen::handOverToReport);
    connect(command1_, &QPushButton::clicked, this, &ConditionsScreen::backToStartScreen);
    connect(command12_, &QPushButton::clicked, this, &ConditionsScreen::tubeOutputEditorRequested);
    connect(command14_, &QPushButton::clicked, this, [this] { emit spectrumRequested(spectrum()); });
    connect(command5_, &QPushButton::clicked, this, &ConditionsScreen::ambientDoseEditorRequested);
    connect(command13_, &QPushButton::clicked, this, &ConditionsScreen::importDicom);
    connectOrganDoseControls();

    // A value the user edits is no longer the image's.
    for (const Input& input : inputs_)
        connect(input.edit, &QLineEdit::textEdited, this, [this, edit = input.edit] { unmarkDicom(edit); });
    connect(combo2_->lineEdit(), &QLineEdit::textEdited, this, [this] { unmarkDicom(combo2_); });
    connect(combo2_, &QComboBox::activated, this, [this] { unmarkDicom(combo2_); });
    connect(date_, &QDateEdit::dateChanged, this, [this] {
        if (!fillingFromDicom_)
            unmarkDicom(date_);
    });
}

void ConditionsScreen::loadDefaults() {
    engine::CalculationState& s = engine::Module1;
    combo2_->setEditText(QStringLiteral("腹部正面"));
    fillBodyPartList();

    // Each input shows its default and the state holds it, as if the user had typed it.
    const engine::ConditionTexts defaults = engine::defaultConditions(s);
    for (const Input& input : inputs_) {
        input.edit->setText(qs(defaults.*(input.entry->condition)));
        mirrorIntoState(input);
    }
    combo1_->setCurrentIndex(fieldSizeListEntries().indexOf(QStringLiteral("六切サイズ")));
    applyFieldSizePreset(QStringLiteral("六切サイズ")); // 25.4 / 20.3, fields locked

    clearResultFields(true);
    measured_->clear();
    xrayUnit_->setText(qs(s.xrayUnitName));
    setOutputDataNameShown(qs(s.outputDataFileName));
    showWAir();

    option5_->setChecked(true);
    selectOutputData();
    date_->setDate(QDate::currentDate());
    s.exposureSource = 2;

    for (QPushButton* b : {command3_, command4_, command6_, command14_})
        b->setEnabled(false);
    focusFirstInput();
}

void ConditionsScreen::mirrorIntoState(const Input& input) {
    if (input.entry->stateValue)
        engine::Module1.*(input.entry->stateValue) = fieldValue(input.edit) * input.entry->stateScale;
}

void ConditionsScreen::focusFirstInput() {
    // The screen opens on the first input of the chain, not on a display-only field.
    inputs_.front().edit->setFocus(Qt::OtherFocusReason);
}

void ConditionsScreen::showWAir() {
    wAirLabel_->setText(QStringLiteral("Wair = ") + numberText(engine::Module1.wAirEv) +
                        QStringLiteral(" eV"));
    wAirLabel_->setAccessibleName(wAirLabel_->text());
}

void ConditionsScreen::referenceDataChanged() {
    if (resultsShown_)
        invalidateResults();
    showWAir();
}

void ConditionsScreen::fillBodyPartList() {
    // A missing or unreadable list leaves the list empty; the default text stays.
    const auto text = textio::readTextFile(textio::fileInFolder(workingFolderPath(), "撮影部位.txt"));
    if (!text.ok())
        return;
    const QString shown = combo2_->currentText();
    for (const std::string& line : textio::splitLines(*text))
        combo2_->addItem(qs(line));
    combo2_->setEditText(shown);
}

void ConditionsScreen::setOutputDataNameShown(const QString& fileName) {
    outputDataName_->setText(fileName.left(std::max<qsizetype>(0, fileName.size() - 3)));
}

void ConditionsScreen::applyFieldSizePreset(const QString& name) {
    QLineEdit* longField = inputEdit(&engine::ConditionTexts::fieldLongCm);
    QLineEdit* shortField = inputEdit(&engine::ConditionTexts::fieldShortCm);
    if (const auto preset = findFieldSizePreset(name)) {
        longField->setEnabled(false);
        longField->setText(numberText(preset->longCm));
        engine::Module1.fieldLongCm = preset->longCm;
        shortField->setEnabled(false);
        shortField->setText(numberText(preset->shortCm));
        engine::Module1.fieldShortCm = preset->shortCm;
    } else if (name == otherFieldSizeName()) {
        longField->setEnabled(true);
        longField->clear();
        shortField->setEnabled(true);
        shortField->clear();
    }
}

void ConditionsScreen::comboEnterPressed() {
    const QString text = combo1_->currentText();
    if (text == otherFieldSizeName())
        inputEdit(&engine::ConditionTexts::fieldLongCm)->setFocus(Qt::TabFocusReason);
    else if (!text.isEmpty())
        weight_->setFocus(Qt::TabFocusReason);
}

bool ConditionsScreen::eventFilter(QObject* watched, QEvent* event) {
    if (isEnterKey(event)) {
        if (auto it = enterActions_.constFind(watched); it != enterActions_.constEnd())
            (*it)(); // the key itself goes on to the control as usual
    } else if (event->type() == QEvent::FocusOut) {
        // Leaving an input writes its value into the state.
        for (const Input& input : inputs_)
            if (input.edit == watched)
                mirrorIntoState(input);
    }
    return QWidget::eventFilter(watched, event);
}

// ResultFields ---------------------------------------------------------------------------------------

void ConditionsScreen::setResultText(engine::ResultField id, const std::string& utf8Text) {
    using engine::ResultField;
    if (id == ResultField::EntranceSurfaceDoseUncertaintyMGy) {
        // Shown with the dose of the run it belongs to: "0.203 ± 0.046 mGy (k=2)", the dose to the
        // last decimal of the uncertainty where that is finer than the dose field's three.
        expandedUncertainty_ = qs(utf8Text);
        const QString dose = resultField(ResultField::EntranceSurfaceDoseMGy)->text();
        const engine::CalculationState& s = engine::Module1;
        resultField(id)->setText(utf8Text.empty() || dose.isEmpty()
                                     ? QString()
                                     : qs(textio::doseWithUncertaintyText(
                                           s.entranceSurfaceDoseMGy, s.entranceSurfaceDoseUncertaintyMGy)));
        return;
    }
    if (auto it = resultFields_.find(id); it != resultFields_.end())
        it->second->setText(qs(utf8Text));
}

std::string ConditionsScreen::resultText(engine::ResultField id) const {
    if (id == engine::ResultField::EntranceSurfaceDoseUncertaintyMGy)
        return resultField(id)->text().isEmpty() ? std::string() : utf8(expandedUncertainty_);
    auto it = resultFields_.find(id);
    return it == resultFields_.end() ? std::string() : utf8(it->second->text());
}

void ConditionsScreen::clearResultFields(bool withCaregiver) {
    using engine::ResultField;
    for (const auto& [result, edit] : resultFields_) {
        const bool caregiver = result == ResultField::CaregiverDose1USv ||
                               result == ResultField::CaregiverDose2USv ||
                               result == ResultField::CaregiverDose3USv;
        // The measured exposure is an input of the next run, not a result.
        if (result != ResultField::MeasuredExposureCkg && (withCaregiver || !caregiver))
            edit->clear();
    }
    if (effectiveDose_) {
        effectiveDose_->clear();
        organDoses_.reset();
        command15_->setEnabled(false);
    }
}

// The exposure source -------------------------------------------------------------------------------

void ConditionsScreen::selectOutputData() {
    setExposureSource(2);
    resultField(engine::ResultField::ExposureAt1mCkg)->setEnabled(false);
}

// Results computed with one exposure at 1 m do not belong to the other source.
void ConditionsScreen::setExposureSource(double source) {
    if (engine::Module1.exposureSource != source && resultsShown_)
        invalidateResults();
    engine::Module1.exposureSource = source;
}

void ConditionsScreen::openMeasuredExposure() {
    if (!measuredDialog_) {
        measuredDialog_ = new MeasuredExposureDialog(this);
        connect(measuredDialog_, &MeasuredExposureDialog::measuredValueAccepted, this,
                [this](double exposureCkg) {
                    // A new reading is a new exposure: shown results were computed without it.
                    if (resultsShown_)
                        invalidateResults();
                    engine::Module1.exposureSource = 1;
                    measured_->setText(qs(textio::formatNumber(exposureCkg, "0.00E+0")));
                    // "出力データを利用" may have been chosen while the dialog was open; the value now in
                    // use is the measured one, and the end of the next run must fall back from it.
                    if (!option4_->isChecked()) {
                        const QSignalBlocker quiet(option4_); // the dialog is not to open again
                        option4_->setChecked(true);
                    }
                });
        connect(measuredDialog_, &MeasuredExposureDialog::outputDataChosen, this, [this] {
            setExposureSource(2);
            if (option5_->isChecked())
                selectOutputData();
            else
                option5_->setChecked(true); // runs its handler
        });
        connect(measuredDialog_, &MeasuredExposureDialog::discarded, this,
                [this] { measuredDialog_.clear(); });
    }
    measuredDialog_->open();
}

void ConditionsScreen::hideMeasuredExposureDialog() {
    if (measuredDialog_)
        measuredDialog_->hide();
}

// Commands -----------------------------------------------------------------------------------------------

void ConditionsScreen::runCalculation() {
    engine::ConditionTexts texts;
    for (const Input& input : inputs_) {
        // A text that is not a number is said to be one, not taken as 0 and then found too small.
        const QString problem =
            typedNumberProblem(shownText(input.entry->caption).trimmed(), input.edit->text());
        if (!problem.isEmpty()) {
            refuseRun(problem);
            input.edit->setFocus(Qt::OtherFocusReason);
            return;
        }
        texts.*(input.entry->condition) = utf8(asciiNumberText(input.edit->text()));
        // Its plausible range, as every calculation checks it, said in the interface's language.
        for (const engine::ConditionLimit& limit : engine::kConditionLimits) {
            if (limit.text != input.entry->condition)
                continue;
            const QString outside = conditionProblem(limit.id, input.edit->text());
            if (!outside.isEmpty()) {
                refuseRun(outside);
                input.edit->setFocus(Qt::OtherFocusReason);
                return;
            }
        }
    }

    if (const QString weight = weightProblem(); !weight.isEmpty()) {
        refuseRun(weight);
        weight_->setFocus(Qt::OtherFocusReason);
        return;
    }

    const Status status = tamso::engine::runCalculation(engine::Module1, texts, *this, workingFolderPath());
    if (!status.ok()) {
        refuseRun(coreText(status.message()));
        return;
    }
    recordRunInputs();
    QCoreApplication::processEvents();
    // Back to the tube output data: the measured value served this run. The results count as
    // shown only after this, so the return of the source does not clear them.
    option4_->setChecked(false);
    option5_->setChecked(true);
    resultsShown_ = true;
    checkInputsAgainstRun(); // an input changed while the pending events ran
    if (!resultsShown_)
        return;
    command3_->setEnabled(true);
    command14_->setEnabled(true);
    showReferenceLevel();
    showEffectiveDose();
    command3_->setFocus(Qt::OtherFocusReason);
}

void ConditionsScreen::refuseRun(const QString& message) {
    // No result of earlier conditions may stay on screen or be handed on beside these inputs.
    clearResultFields(false);
    resultsShown_ = false;
    for (QPushButton* b : {command3_, command4_, command6_, command14_})
        b->setEnabled(false);
    emit resultsCleared();
    MessageBox::warning(this, message);
}

void ConditionsScreen::showAmbientDose() {
    command4_->setEnabled(true);
    command4_->setFocus(Qt::OtherFocusReason);
    emit illustrationRequested();
}

void ConditionsScreen::runCaregiverEstimate() {
    const Status status = engine::computeCaregiverDose(engine::Module1, *this);
    if (!status.ok()) {
        for (auto result : {engine::ResultField::CaregiverDose1USv, engine::ResultField::CaregiverDose2USv,
                            engine::ResultField::CaregiverDose3USv})
            resultField(result)->clear();
        command6_->setEnabled(false);
        MessageBox::warning(this, coreText(status.message()));
        return;
    }
    command6_->setEnabled(true);
    command6_->setFocus(Qt::OtherFocusReason);
}

ReportFields ConditionsScreen::reportFields() const {
    const engine::CalculationState& s = engine::Module1;
    // The record's fields as the node builds them too (records/exposurerecord.h).
    const records::RecordTexts t = records::recordTextsOfRun(s, *this,
                                                             {date_->date() == date_->minimumDate() ? std::string() : utf8(shortDateText(date_->date())),
                                                              std::string(), utf8(combo2_->currentText()),
                                                              utf8(combo1_->currentText()), s.xrayUnitName});
    ReportFields r;
    r.id = dicomPatientId_;
    r.name = dicomPatientName_;
    r.imageNameGroups = dicomNameGroups_;
    r.examDate = qs(t.examDate);
    r.bodyPart = qs(t.bodyPart);
    r.tubeVoltage = qs(t.tubeVoltageKv);
    r.mAs = qs(t.mAs);
    r.ffd = qs(t.ffdCm);
    r.fieldSize = qs(t.fieldSize);
    r.thickness = qs(t.subjectThicknessCm);
    r.xrayUnit = qs(t.xrayUnit);
    r.dose = qs(t.entranceSurfaceDoseMGy);
    if (resultsShown_)
        r.preciseDose = qs(textio::numberToText(s.entranceSurfaceDoseMGy));
    r.doseWithUncertainty = resultField(engine::ResultField::EntranceSurfaceDoseUncertaintyMGy)->text();
    if (resultsShown_ && organDoses_)
        r.effectiveDose = effectiveDose_->text();
    if (resultsShown_) {
        r.spectrum = spectrum();
        if (dicomReportProblem_.empty())
            r.doseReport = doseReportInput();
        else
            r.doseReportProblem = qs(dicomReportProblem_);
    }
    if (const auto comparison = referenceLevelComparison()) {
        r.referenceLevel = referenceLevelText(*comparison);
        r.aboveReferenceLevel = comparison->above;
    }
    r.caregiver1 = qs(t.caregiverDoseUSv[0]);
    r.caregiver2 = qs(t.caregiverDoseUSv[1]);
    r.caregiver3 = qs(t.caregiverDoseUSv[2]);
    return r;
}

node::DoseReportInput ConditionsScreen::doseReportInput() const {
    node::DoseReportInput in;
    bool typed = option4_->isChecked(); // a measured exposure is the user's reading
    if (dicomReport_) {
        in = *dicomReport_;
        for (auto condition : {&engine::ConditionTexts::tubeVoltageKv, &engine::ConditionTexts::mAs,
                               &engine::ConditionTexts::ffdCm})
            typed = typed || !isFilledFromDicom(inputEdit(condition));
    } else {
        typed = true;
    }
    in.source = typed ? node::DoseSource::ManualEntry : node::DoseSource::ComputedFromImageAttributes;
    node::ExposureDose dose = node::doseReportValues(engine::Module1);
    if (!typed) { // the image's current and time belong to its own tube voltage and mAs
        dose.tubeCurrentMa = in.dose.tubeCurrentMa;
        dose.exposureTimeMs = in.dose.exposureTimeMs;
    }
    in.dose = dose;
    if (in.exposureDate.empty() || !isFilledFromDicom(date_)) {
        in.exposureDate = utf8(date_->date().toString(QStringLiteral("yyyyMMdd")));
        in.exposureTime.clear();
    }
    return in;
}

void ConditionsScreen::handOverToReport() {
    emit reportRequested(reportFields());
}

void ConditionsScreen::backToStartScreen() {
    // The results and the measured reading go; the caregiver doses stay until the next run.
    clearResultFields(false);
    measured_->clear();
    weight_->clear(); // the next case is another infant
    // With its reading gone the measured exposure cannot serve the next case: an empty reading
    // would count as an exposure of 0. The next case starts from the tube output data.
    if (option5_->isChecked())
        selectOutputData();
    else
        option5_->setChecked(true); // runs its handler
    resultsShown_ = false;
    command14_->setEnabled(false);
    // The image's patient belongs to this case only.
    forgetDicomImport();
    emit backRequested();
}

void ConditionsScreen::disableFollowUpCommands() {
    for (QPushButton* b : {command3_, command4_, command6_})
        b->setEnabled(false);
}

void ConditionsScreen::closeEvent(QCloseEvent* event) {
    event->accept();
    emit closedByUser();
}

// Results that no longer match the inputs -------------------------------------------------------------------

void ConditionsScreen::recordRunInputs() {
    resultsShown_ = false; // until the run has handed on
    runValues_.clear();
    for (const Input& input : inputs_)
        runValues_.insert(input.edit, fieldValue(input.edit));
    runFieldSizeName_ = combo1_->currentText();
}

void ConditionsScreen::checkInputsAgainstRun() {
    if (!resultsShown_)
        return;
    bool changed = combo1_->currentText() != runFieldSizeName_;
    for (auto it = runValues_.constBegin(); !changed && it != runValues_.constEnd(); ++it)
        changed = fieldValue(it.key()) != it.value();
    if (changed)
        invalidateResults();
}

void ConditionsScreen::invalidateResults() {
    resultsShown_ = false;
    clearResultFields(true);
    showReferenceLevel();
    for (QPushButton* b : {command3_, command4_, command6_, command14_})
        b->setEnabled(false);
    emit resultsCleared();
}

std::optional<refdata::LevelComparison> ConditionsScreen::referenceLevelComparison() const {
    if (!resultsShown_)
        return std::nullopt;
    const QString dose = resultField(engine::ResultField::EntranceSurfaceDoseMGy)->text();
    if (dose.isEmpty())
        return std::nullopt;
    return refdata::compareComputedDoseWithReferenceLevel(refdata::ReferenceLevels, utf8(combo2_->currentText()),
                                                          engine::Module1.entranceSurfaceDoseMGy);
}

void ConditionsScreen::showReferenceLevel() {
    // Shown after a run for a body part with a level; above the level in red and in words, so the
    // mark does not depend on colour alone.
    const auto comparison = referenceLevelComparison();
    referenceLevel_->setText(comparison ? referenceLevelText(*comparison) : QString());
    referenceLevel_->setCursorPosition(0); // the start of the text in view, should it ever be cut
    // The dose in the normal colour, red and bold only above the level, with its comparison.
    const bool above = comparison && comparison->above;
    for (QLineEdit* field : {referenceLevel_, resultField(engine::ResultField::EntranceSurfaceDoseMGy)}) {
        QPalette palette;
        if (above) {
            palette = field->palette();
            palette.setColor(QPalette::Text, kAboveLevel);
        }
        field->setPalette(palette);
        QFont font = field->font();
        font.setBold(above);
        field->setFont(font);
    }
    referenceLevel_->setAccessibleName(QCoreApplication::translate("ConditionsScreen", "参考レベル ") +
                                       referenceLevel_->text());
}

SpectrumData ConditionsScreen::spectrum() const {
    const engine::CalculationState& s = engine::Module1;
    SpectrumData data;
    const int top = std::clamp(static_cast<int>(2 * s.tubeVoltageKv), 0, engine::kTopBin);
    data.photons.assign(s.PhotonSpectrumTable.begin(), s.PhotonSpectrumTable.begin() + top + 1);
    data.tubeVoltageKv = s.tubeVoltageKv;
    data.effectiveEnergyKev = s.effectiveEnergyKev;
    data.hvl1MmAl = resultField(engine::ResultField::Hvl1MmAl)->text();
    data.quarterValueMmAl = resultField(engine::ResultField::QuarterValueLayerMmAl)->text();
    data.effectiveEnergy = resultField(engine::ResultField::EffectiveEnergyKev)->text();
    data.qualityIndex = resultField(engine::ResultField::QualityIndex)->text();
    return data;
}

} // namespace tamso::ui
