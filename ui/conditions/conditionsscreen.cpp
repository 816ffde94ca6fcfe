#include "ui/conditions/conditionsscreen.h"

#include "engine/calculation.h"
#include "engine/calculationstate.h"
#include "textio/fileio.h"
#include "textio/numberformat.h"
#include "textio/numbertext.h"
#include "ui/conditions/fieldsizepresets.h"
#include "ui/conditions/measuredexposuredialog.h"
#include "ui/kit/appresources.h"
#include "ui/kit/messagebox.h"
#include "ui/report/reportfields.h"
#include "ui/kit/uiutil.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
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
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include <filesystem>

namespace tamso::ui {

namespace {

QString numberText(double value) { return qs(textio::numberToText(value)); }
double fieldValue(const QLineEdit* field) { return textio::textToNumber(utf8(field->text())); }

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
        label->setStyleSheet(QStringLiteral("color: %1; background: transparent;").arg(QLatin1String(part.color)));
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

QLineEdit* ConditionsScreen::field(const char* name) const { return fields_.value(QString::fromLatin1(name)); }

void ConditionsScreen::buildControls() {
    auto makeField = [this](QWidget* parent, const char* name, const QString& accessibleCaption) {
        auto* edit = new QLineEdit(parent);
        edit->setMinimumWidth(110);
        nameControl(edit, QString::fromLatin1(name), accessibleCaption);
        fields_.insert(QString::fromLatin1(name), edit);
        return edit;
    };
    auto makeButton = [this](const char* name, const QString& text, const QString& accessible) {
        auto* button = new QPushButton(text, this);
        nameControl(button, QString::fromLatin1(name), accessible);
        // Enter presses the command that has the focus, as Space does: the Enter chain ends on
        // the calculation command and the run hands the focus on from command to command.
        button->setAutoDefault(true);
        return button;
    };

    auto* root = new QVBoxLayout(this);

    // Heading row ------------------------------------------------------------------------------
    auto* heading = new QHBoxLayout;
    QLabel* dateCaption = caption(this, QStringLiteral("Label51"), QStringLiteral("撮影日"));
    date_ = new QDateEdit(this);
    nameControl(date_, QStringLiteral("DTPicker1"), QStringLiteral("撮影日"));
    date_->setCalendarPopup(true);
    date_->setDisplayFormat(QLocale::system().dateFormat(QLocale::ShortFormat));
    dateCaption->setBuddy(date_);
    wAirLabel_ = caption(this, QStringLiteral("Label52"), QString());
    heading->addWidget(dateCaption);
    heading->addWidget(date_);
    heading->addSpacing(24);
    heading->addWidget(wAirLabel_);
    heading->addWidget(caption(this, QStringLiteral("Label53"), QStringLiteral("として計算しています。")));
    heading->addStretch();
    heading->addWidget(productMark(this));
    root->addLayout(heading);

    auto* columns = new QHBoxLayout;
    auto* left = new QVBoxLayout;
    auto* right = new QVBoxLayout;
    columns->addLayout(left, 1);
    columns->addSpacing(8);
    columns->addLayout(right, 1);
    root->addLayout(columns);

    // A caption / field / unit row of a grid.
    auto addRow = [&](QGridLayout* grid, int row, QWidget* parent, const char* name, const QString& text,
                      const QString& unit) {
        const QString fieldName = QString::fromLatin1(name);
        QLabel* label = caption(parent, QStringLiteral("Caption") + fieldName, text);
        QLineEdit* edit = makeField(parent, name, text);
        label->setBuddy(edit);
        grid->addWidget(label, row, 0);
        grid->addWidget(edit, row, 1);
        if (!unit.isEmpty())
            grid->addWidget(caption(parent, QStringLiteral("Unit") + fieldName, unit), row, 2);
        return edit;
    };

    // Where the exposure at 1 m comes from -----------------------------------------------------
    auto* frame1 = new QGroupBox(QStringLiteral("焦点から１ｍの距離の照射線量"), this);
    nameControl(frame1, QStringLiteral("Frame1"), frame1->title());
    auto* g1 = new QGridLayout(frame1);
    option5_ = new QRadioButton(QStringLiteral("出力データを利用"), frame1);
    nameControl(option5_, QStringLiteral("Option5"), option5_->text());
    command12_ = new QPushButton(QStringLiteral("出力データ編集"), frame1);
    nameControl(command12_, QStringLiteral("Command12"), command12_->text());
    command12_->setAutoDefault(true);
    g1->addWidget(option5_, 0, 0);
    g1->addWidget(command12_, 0, 1, 1, 2);
    addRow(g1, 1, frame1, "Text24", QStringLiteral("出力データ名"), QString());
    option4_ = new QRadioButton(QStringLiteral("実測値を直接入力"), frame1);
    nameControl(option4_, QStringLiteral("Option4"), option4_->text());
    QLineEdit* text19 = makeField(frame1, "Text19", QStringLiteral("実測値"));
    g1->addWidget(option4_, 2, 0);
    g1->addWidget(text19, 2, 1);
    g1->addWidget(caption(frame1, QStringLiteral("Label30"), QStringLiteral("照射線量 at １ｍ")), 3, 0);
    g1->addWidget(caption(frame1, QStringLiteral("Label31"), QStringLiteral("C/kg")), 3, 1);
    addRow(g1, 4, frame1, "Text12", QStringLiteral("フード・カバー透過後"), QString());
    addRow(g1, 5, frame1, "Text7", QStringLiteral("散乱線を付加"), QString());
    left->addWidget(frame1);

    // Conditions (1): X-ray unit and filtration ----------------------------------------------
    auto* frame2 = new QGroupBox(QStringLiteral("照射条件 (１)"), this);
    nameControl(frame2, QStringLiteral("Frame2"), frame2->title());
    auto* g2 = new QGridLayout(frame2);
    addRow(g2, 0, frame2, "Text29", QStringLiteral("撮影装置名"), QString())->setMinimumWidth(180);
    addRow(g2, 1, frame2, "Text1", QStringLiteral(" Ｘ線管ターゲット角度"), QStringLiteral("　度"));
    addRow(g2, 2, frame2, "Text2", QStringLiteral(" 固有フィルタ（アルミ当量）"), QStringLiteral("mm"));
    addRow(g2, 3, frame2, "Text3", QStringLiteral(" 付加フィルタ（アルミ）"), QStringLiteral("mm"));
    addRow(g2, 4, frame2, "Text4", QStringLiteral(" 付加フィルタ　（ 銅 ）"), QStringLiteral("mm"));
    g2->addWidget(caption(frame2, QStringLiteral("Label20"), QStringLiteral(" フード・カバー（PMMA ）")), 5, 0);
    auto* hoodRow = new QHBoxLayout;
    hoodRow->addWidget(caption(frame2, QStringLiteral("Label21"), QStringLiteral("6")));
    hoodRow->addWidget(caption(frame2, QStringLiteral("Label22"), QStringLiteral("mm")));
    hoodRow->addWidget(caption(frame2, QStringLiteral("Label23"), QStringLiteral("(固定値)")));
    hoodRow->addStretch();
    g2->addLayout(hoodRow, 5, 1, 1, 2);
    left->addWidget(frame2);

    // Conditions (2): geometry and exposure ---------------------------------------------------
    auto* frame3 = new QGroupBox(QStringLiteral("照射条件 (２)"), this);
    nameControl(frame3, QStringLiteral("Frame3"), frame3->title());
    auto* g3 = new QGridLayout(frame3);
    QLabel* combo2Caption = caption(frame3, QStringLiteral("CaptionCombo2"), QStringLiteral("   照射部位"));
    combo2_ = new QComboBox(frame3);
    combo2_->setEditable(true);
    combo2_->setInsertPolicy(QComboBox::NoInsert);
    nameControl(combo2_, QStringLiteral("Combo2"), QStringLiteral("   照射部位"));
    combo2Caption->setBuddy(combo2_);
    g3->addWidget(combo2Caption, 0, 0);
    g3->addWidget(combo2_, 0, 1);
    addRow(g3, 1, frame3, "Text5", QStringLiteral("　 Ｘ線管電圧"), QStringLiteral("kV"));
    addRow(g3, 2, frame3, "Text6", QStringLiteral("   Ｘ線管電流×照射時間"), QStringLiteral("mAs"));
    addRow(g3, 3, frame3, "Text8", QStringLiteral(" 焦点-受像器間距離（FFD）"), QStringLiteral("cm"));
    addRow(g3, 4, frame3, "Text23", QStringLiteral("　 被写体厚"), QStringLiteral("cm"));
    addRow(g3, 5, frame3, "Text9", QStringLiteral(" 焦点-フード・カバー間距離"), QStringLiteral("cm"));
    QLabel* combo1Caption = caption(frame3, QStringLiteral("CaptionCombo1"), QStringLiteral(" 受像器面での照射野サイズ"));
    combo1_ = new QComboBox(frame3);
    combo1_->setEditable(true);
    combo1_->setInsertPolicy(QComboBox::NoInsert);
    combo1_->addItems(fieldSizeListEntries());
    nameControl(combo1_, QStringLiteral("Combo1"), QStringLiteral(" 受像器面での照射野サイズ"));
    combo1Caption->setBuddy(combo1_);
    g3->addWidget(combo1Caption, 6, 0);
    g3->addWidget(combo1_, 6, 1);
    addRow(g3, 7, frame3, "Text10", QStringLiteral(" 照射野サイズ（長軸方向）"), QStringLiteral("cm"));
    addRow(g3, 8, frame3, "Text11", QStringLiteral(" 照射野サイズ（単軸方向）"), QStringLiteral("cm"));
    left->addWidget(frame3);

    command2_ = makeButton("Command2", QString(), QStringLiteral(" Go ! "));
    command2_->setIcon(svgIcon(QStringLiteral(":/tamso/go.svg"), QSize(40, 40)));
    command2_->setIconSize(QSize(40, 40));
    command2_->setToolTip(QStringLiteral(" Go ! "));
    command2_->setMinimumHeight(52);
    left->addWidget(command2_);
    left->addStretch();

    // Results -----------------------------------------------------------------------------------
    auto* frame4 = new QGroupBox(QStringLiteral("患児の入射表面線量"), this);
    nameControl(frame4, QStringLiteral("Frame4"), frame4->title());
    auto* g4 = new QGridLayout(frame4);
    addRow(g4, 0, frame4, "Text13", QStringLiteral("　  第１半価層"), QStringLiteral("mmAl"));
    addRow(g4, 1, frame4, "Text14", QStringLiteral("     第２半価層"), QStringLiteral("mmAl"));
    addRow(g4, 2, frame4, "Text15", QStringLiteral("　  実効エネルギー"), QStringLiteral("keV"));
    addRow(g4, 3, frame4, "Text16", QStringLiteral("　  線質指標 （ QI )"), QStringLiteral("―"));
    addRow(g4, 4, frame4, "Text17", QStringLiteral("   後方散乱係数"), QStringLiteral("―"));
    addRow(g4, 5, frame4, "Text18", QStringLiteral("   吸収線量変換係数"), QStringLiteral("Gy/C/kg"));
    QLineEdit* text20 = addRow(g4, 6, frame4, "Text20", QStringLiteral("   入射表面線量"), QStringLiteral(" mGy"));
    text20->setStyleSheet(QStringLiteral("color: #d00000; font-weight: bold;"));
    right->addWidget(frame4);

    // Caregivers --------------------------------------------------------------------------------
    auto* frame5 = new QGroupBox(QStringLiteral("介助者の被ばく線量"), this);
    nameControl(frame5, QStringLiteral("Frame5"), frame5->title());
    auto* g5 = new QGridLayout(frame5);
    command3_ = makeButton("Command3", QStringLiteral("周辺線量"), QStringLiteral("周辺線量"));
    command4_ = makeButton("Command4", QStringLiteral("計算する"), QStringLiteral("計算する"));
    command4_->setIcon(svgIcon(QStringLiteral(":/tamso/calc.svg"), QSize(24, 24)));
    command4_->setIconSize(QSize(24, 24));
    command4_->setToolTip(QStringLiteral(" Go ! "));
    command5_ = makeButton("Command5", QStringLiteral("周辺線量の実測データ編集"), QStringLiteral("周辺線量の実測データ編集"));
    command3_->setParent(frame5);
    command4_->setParent(frame5);
    command5_->setParent(frame5);
    g5->addWidget(command3_, 0, 0);
    g5->addWidget(command4_, 0, 1);
    g5->addWidget(command5_, 1, 0, 1, 3);
    g5->addWidget(caption(frame5, QStringLiteral("Label40"), QStringLiteral("周辺線量当量")), 2, 0);
    // "     Sv/exposure" with a separate "μ" laid over its blank start.
    auto* unit = new QWidget(frame5);
    nameControl(unit, QStringLiteral("UnitCaregiver"), QStringLiteral("μSv/exposure"));
    QLabel* sv = caption(unit, QStringLiteral("Label41"), QStringLiteral("     Sv/exposure"));
    QLabel* mu = caption(unit, QStringLiteral("Label42"), QStringLiteral("μ"));
    sv->adjustSize();
    mu->adjustSize();
    const QFontMetrics metrics(sv->font());
    mu->move(metrics.horizontalAdvance(QStringLiteral("     ")) - metrics.horizontalAdvance(QStringLiteral("μ")), 0);
    unit->setMinimumSize(sv->sizeHint());
    g5->addWidget(unit, 2, 1, 1, 2);
    addRow(g5, 3, frame5, "Text21", QStringLiteral("1"), QString());
    addRow(g5, 4, frame5, "Text22", QStringLiteral("2"), QString());
    addRow(g5, 5, frame5, "Text25", QStringLiteral("3"), QString());
    // The caregiver fields are named by their position caption only; give them a fuller name.
    field("Text21")->setAccessibleName(QStringLiteral("周辺線量当量 1"));
    field("Text22")->setAccessibleName(QStringLiteral("周辺線量当量 2"));
    field("Text25")->setAccessibleName(QStringLiteral("周辺線量当量 3"));
    right->addWidget(frame5);

    // Going on and going back -------------------------------------------------------------------
    auto* navigation = new QHBoxLayout;
    command6_ = makeButton("Command6", QString(), QStringLiteral("報告書へ"));
    command6_->setIcon(svgIcon(QStringLiteral(":/tamso/report.svg"), QSize(40, 60)));
    command6_->setIconSize(QSize(40, 60));
    command6_->setToolTip(QStringLiteral("報告書へ"));
    command6_->setMinimumSize(64, 84);
    command1_ = makeButton("Command1", QString(), QStringLiteral(" bye bye "));
    command1_->setIcon(svgIcon(QStringLiteral(":/tamso/bye.svg"), QSize(24, 24)));
    command1_->setIconSize(QSize(24, 24));
    command1_->setToolTip(QStringLiteral(" bye bye "));
    // Four decorative pictures of the subject: tube, incubator, infant, dosimeter.
    const struct {
        const char* name;
        const char* resource;
        QString caption;
    } pictures[] = {{"Image1", ":/tamso/deco-tube.svg", QStringLiteral("Ｘ線管")},
                    {"Image2", ":/tamso/deco-incubator.svg", QStringLiteral("保育器")},
                    {"Image3", ":/tamso/deco-infant.svg", QStringLiteral("患児")},
                    {"Image4", ":/tamso/deco-dosimeter.svg", QStringLiteral("線量計")}};
    for (const auto& picture : pictures) {
        auto* image = new QLabel(this);
        nameControl(image, QString::fromLatin1(picture.name), picture.caption);
        image->setPixmap(svgPixmap(QString::fromLatin1(picture.resource), QSize(40, 40)));
        navigation->addWidget(image, 0, Qt::AlignBottom);
    }
    navigation->addStretch();
    navigation->addWidget(command6_);
    navigation->addSpacing(16);
    navigation->addWidget(command1_, 0, Qt::AlignBottom);
    right->addLayout(navigation);
    right->addStretch();

    // Display-only and result fields -------------------------------------------------------------
    for (const char* name : {"Text7", "Text12", "Text13", "Text14", "Text15", "Text16", "Text19", "Text24"})
        field(name)->setEnabled(false);
    // Enabled result fields show what the routines computed; they are not for typing, so the
    // report always receives computed values.
    for (const char* name : {"Text17", "Text18", "Text20", "Text21", "Text22", "Text25", "Text29"})
        field(name)->setReadOnly(true);

    const std::pair<engine::ResultField, const char*> results[] = {
        {engine::ResultField::Text7, "Text7"},   {engine::ResultField::Text12, "Text12"}, {engine::ResultField::Text13, "Text13"},
        {engine::ResultField::Text14, "Text14"}, {engine::ResultField::Text15, "Text15"}, {engine::ResultField::Text16, "Text16"},
        {engine::ResultField::Text17, "Text17"}, {engine::ResultField::Text18, "Text18"}, {engine::ResultField::Text19, "Text19"},
        {engine::ResultField::Text20, "Text20"}, {engine::ResultField::Text21, "Text21"}, {engine::ResultField::Text22, "Text22"},
        {engine::ResultField::Text25, "Text25"}};
    for (const auto& [id, name] : results)
        resultFields_[id] = field(name);

    // Tab order: the inputs as the user works through them, then the rest.
    QWidget* tabOrder[] = {field("Text1"), field("Text2"), field("Text3"), field("Text4"), field("Text5"),
                           field("Text6"), field("Text8"), field("Text9"), combo1_,        field("Text10"),
                           field("Text11"), command2_,     field("Text23"), combo2_,       date_,
                           option5_,        command12_,    option4_,       command3_,      command4_,
                           command5_,       command6_,     command1_};
    for (size_t i = 1; i < std::size(tabOrder); ++i)
        setTabOrder(tabOrder[i - 1], tabOrder[i]);

    // Enter-key chain ------------------------------------------------------------------------------
    auto focusTo = [](QWidget* target) { return [target] { target->setFocus(Qt::TabFocusReason); }; };
    const std::pair<const char*, QWidget*> chain[] = {
        {"Text1", field("Text2")},  {"Text2", field("Text3")}, {"Text3", field("Text4")},
        {"Text4", combo2_},         {"Text5", field("Text6")}, {"Text6", field("Text8")},
        {"Text8", field("Text23")}, {"Text23", field("Text9")}, {"Text9", combo1_},
        {"Text10", field("Text11")}, {"Text11", command2_}};
    for (const auto& [from, to] : chain) {
        enterActions_.insert(field(from), focusTo(to));
        field(from)->installEventFilter(this);
    }
    for (QComboBox* combo : {combo1_, combo2_}) {
        combo->installEventFilter(this);
        combo->lineEdit()->installEventFilter(this);
    }
    enterActions_.insert(combo2_, focusTo(field("Text5")));
    enterActions_.insert(combo2_->lineEdit(), focusTo(field("Text5")));
    enterActions_.insert(combo1_, [this] { comboEnterPressed(); });
    enterActions_.insert(combo1_->lineEdit(), [this] { comboEnterPressed(); });

    // Mirroring into the state on losing the focus ----------------------------------------------------
    engine::CalculationState& s = engine::Module1;
    const std::pair<const char*, std::function<void(double)>> mirrors[] = {
        {"Text1", [&s](double v) { s.targetAngleDeg = v; }},
        {"Text2", [&s](double v) { s.inherentFilterAlCm = v * 0.1; }},
        {"Text3", [&s](double v) { s.addedFilterAlCm = v * 0.1; }},
        {"Text4", [&s](double v) { s.addedFilterCuCm = v * 0.1; }},
        {"Text5", [&s](double v) { s.tubeVoltageKv = v; }},
        {"Text6", [&s](double v) { s.mAs = v; }},
        {"Text8", [&s](double v) { s.ffdCm = v; }},
        {"Text23", [&s](double v) { s.subjectThicknessCm = v; }},
        {"Text10", [&s](double v) { s.fieldLongCm = v; }},
        {"Text11", [&s](double v) { s.fieldShortCm = v; }}};
    for (const auto& [name, write] : mirrors) {
        mirrors_.insert(field(name), write);
        field(name)->installEventFilter(this);
    }

    // Inputs the shown results depend on.
    for (const char* name : {"Text1", "Text2", "Text3", "Text4", "Text5", "Text6", "Text8", "Text9", "Text23",
                             "Text10", "Text11"})
        connect(field(name), &QLineEdit::textChanged, this, [this] { checkInputsAgainstRun(); });
    connect(combo1_, &QComboBox::currentTextChanged, this, [this] { checkInputsAgainstRun(); });

    // Lists ------------------------------------------------------------------------------------------------
    connect(combo1_, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (index >= 0)
            applyFieldSizePreset(combo1_->itemText(index));
    });
    connect(combo1_, &QComboBox::textActivated, this, &ConditionsScreen::applyFieldSizePreset);
    connect(combo2_, &QComboBox::activated, this, [this] { field("Text5")->setFocus(Qt::TabFocusReason); });

    // Options and commands ------------------------------------------------------------------------------
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
    connect(command5_, &QPushButton::clicked, this, &ConditionsScreen::ambientDoseEditorRequested);
}

void ConditionsScreen::loadDefaults() {
    engine::CalculationState& s = engine::Module1;
    combo2_->setEditText(QStringLiteral("腹部正面"));
    fillBodyPartList();

    field("Text1")->setText(numberText(s.targetAngleDeg));
    field("Text2")->setText(numberText(s.defaultInherentFilterAlMm));
    s.inherentFilterAlCm = s.defaultInherentFilterAlMm * 0.1;
    field("Text3")->setText(QStringLiteral("0"));
    s.addedFilterAlCm = 0;
    field("Text4")->setText(QStringLiteral("0"));
    s.addedFilterCuCm = 0;
    field("Text5")->setText(QStringLiteral("50"));
    s.tubeVoltageKv = 50;
    field("Text6")->setText(QStringLiteral("5"));
    s.mAs = 5;
    field("Text8")->setText(QStringLiteral("100"));
    s.ffdCm = 100;
    field("Text9")->setText(QStringLiteral("60"));
    field("Text23")->setText(QStringLiteral("10"));
    s.subjectThicknessCm = 10;

    combo1_->setCurrentIndex(fieldSizeListEntries().indexOf(QStringLiteral("六切サイズ")));
    applyFieldSizePreset(QStringLiteral("六切サイズ")); // 25.4 / 20.3, fields locked

    clearResultFields(true);
    field("Text19")->clear();
    field("Text29")->setText(qs(s.xrayUnitName));
    setOutputDataNameShown(qs(s.outputDataFileName));
    showWAir();

    option5_->setChecked(true);
    selectOutputData();
    date_->setDate(QDate::currentDate());
    s.exposureSource = 2;

    for (QPushButton* b : {command3_, command4_, command6_})
        b->setEnabled(false);
    focusFirstInput();
}

void ConditionsScreen::focusFirstInput() {
    // The screen opens on the first input of the chain, not on a display-only field.
    field("Text1")->setFocus(Qt::OtherFocusReason);
}

void ConditionsScreen::showWAir() {
    wAirLabel_->setText(QStringLiteral("Wair = ") + numberText(engine::Module1.wAirEv) + QStringLiteral(" eV"));
    wAirLabel_->setAccessibleName(wAirLabel_->text());
}

void ConditionsScreen::referenceDataChanged() {
    if (resultsShown_)
        invalidateResults();
    showWAir();
}

void ConditionsScreen::fillBodyPartList() {
    // A missing or unreadable list leaves the list empty; the default text stays.
    const auto text = textio::readTextFile(textio::fileInFolder(workingFolderPath(),
                                                                "撮影部位.txt"));
    if (!text.ok())
        return;
    const QString shown = combo2_->currentText();
    for (const std::string& line : textio::splitLines(*text))
        combo2_->addItem(qs(line));
    combo2_->setEditText(shown);
}

void ConditionsScreen::setOutputDataNameShown(const QString& fileName) {
    field("Text24")->setText(fileName.left(std::max<qsizetype>(0, fileName.size() - 3)));
}

void ConditionsScreen::applyFieldSizePreset(const QString& name) {
    QLineEdit* longField = field("Text10");
    QLineEdit* shortField = field("Text11");
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
        field("Text10")->setFocus(Qt::TabFocusReason);
    else if (!text.isEmpty())
        command2_->setFocus(Qt::TabFocusReason);
}

bool ConditionsScreen::eventFilter(QObject* watched, QEvent* event) {
    if (isEnterKey(event)) {
        if (auto it = enterActions_.constFind(watched); it != enterActions_.constEnd())
            (*it)(); // the key itself goes on to the control as usual
    } else if (event->type() == QEvent::FocusOut) {
        if (auto it = mirrors_.constFind(watched); it != mirrors_.constEnd())
            (*it)(fieldValue(static_cast<QLineEdit*>(watched)));
    }
    return QWidget::eventFilter(watched, event);
}

// ResultFields ---------------------------------------------------------------------------------------

void ConditionsScreen::setResultText(engine::ResultField id, const std::string& utf8Text) {
    if (auto it = resultFields_.find(id); it != resultFields_.end())
        it->second->setText(qs(utf8Text));
}

std::string ConditionsScreen::resultText(engine::ResultField id) const {
    auto it = resultFields_.find(id);
    return it == resultFields_.end() ? std::string() : utf8(it->second->text());
}

void ConditionsScreen::clearResultFields(bool withCaregiver) {
    for (const char* name : {"Text13", "Text14", "Text15", "Text16", "Text17", "Text18", "Text20", "Text7", "Text12"})
        field(name)->clear();
    if (withCaregiver)
        for (const char* name : {"Text21", "Text22", "Text25"})
            field(name)->clear();
}

// The exposure source -------------------------------------------------------------------------------

void ConditionsScreen::selectOutputData() {
    setExposureSource(2);
    field("Text12")->setEnabled(false);
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
        connect(measuredDialog_, &MeasuredExposureDialog::measuredValueAccepted, this, [this](double exposureCkg) {
            // A new reading is a new exposure: shown results were computed without it.
            if (resultsShown_)
                invalidateResults();
            engine::Module1.exposureSource = 1;
            field("Text19")->setText(qs(textio::formatNumber(exposureCkg, "0.00E+0")));
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
        connect(measuredDialog_, &MeasuredExposureDialog::discarded, this, [this] { measuredDialog_.clear(); });
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
    auto text = [this](const char* name) { return utf8(field(name)->text()); };
    texts.text1 = text("Text1");
    texts.text2 = text("Text2");
    texts.text3 = text("Text3");
    texts.text4 = text("Text4");
    texts.text5 = text("Text5");
    texts.text6 = text("Text6");
    texts.text8 = text("Text8");
    texts.text23 = text("Text23");
    texts.text9 = text("Text9");
    texts.text10 = text("Text10");
    texts.text11 = text("Text11");

    const Status status =
        tamso::engine::runCalculation(engine::Module1, texts, *this, workingFolderPath());
    if (!status.ok()) {
        // No result of earlier conditions may stay on screen or be handed on beside these inputs.
        clearResultFields(false);
        resultsShown_ = false;
        for (QPushButton* b : {command3_, command4_, command6_})
            b->setEnabled(false);
        MessageBox::warning(this, qs(status.message()));
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
    command3_->setFocus(Qt::OtherFocusReason);
}

void ConditionsScreen::showAmbientDose() {
    command4_->setEnabled(true);
    command4_->setFocus(Qt::OtherFocusReason);
    emit illustrationRequested();
}

void ConditionsScreen::runCaregiverEstimate() {
    const Status status = engine::computeCaregiverDose(engine::Module1, *this);
    if (!status.ok()) {
        for (const char* name : {"Text21", "Text22", "Text25"})
            field(name)->clear();
        command6_->setEnabled(false);
        MessageBox::warning(this, qs(status.message()));
        return;
    }
    command6_->setEnabled(true);
    command6_->setFocus(Qt::OtherFocusReason);
}

ReportFields ConditionsScreen::reportFields() const {
    const engine::CalculationState& s = engine::Module1;
    ReportFields r;
    r.examDate = QLocale::system().toString(date_->date(), QLocale::ShortFormat);
    r.bodyPart = combo2_->currentText();
    r.tubeVoltage = numberText(s.tubeVoltageKv);
    r.mAs = numberText(s.mAs);
    r.ffd = numberText(s.ffdCm);
    r.fieldSize = combo1_->currentText();
    r.thickness = numberText(s.subjectThicknessCm);
    r.xrayUnit = qs(s.xrayUnitName);
    r.dose = field("Text20")->text();
    r.caregiver1 = field("Text21")->text();
    r.caregiver2 = field("Text22")->text();
    r.caregiver3 = field("Text25")->text();
    return r;
}

void ConditionsScreen::handOverToReport() {
    emit reportRequested(reportFields());
}

void ConditionsScreen::backToStartScreen() {
    for (const char* name : {"Text19", "Text12", "Text7", "Text13", "Text14", "Text15", "Text16", "Text17",
                             "Text18", "Text20"})
        field(name)->clear();
    // With its reading gone the measured exposure cannot serve the next case: an empty reading
    // would count as an exposure of 0. The next case starts from the tube output data.
    if (option5_->isChecked())
        selectOutputData();
    else
        option5_->setChecked(true); // runs its handler
    resultsShown_ = false;
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
    for (const char* name : {"Text1", "Text2", "Text3", "Text4", "Text5", "Text6", "Text8", "Text9", "Text23",
                             "Text10", "Text11"})
        runValues_.insert(field(name), fieldValue(field(name)));
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
    for (QPushButton* b : {command3_, command4_, command6_})
        b->setEnabled(false);
}

} // namespace tamso::ui
