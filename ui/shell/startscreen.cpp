#include "ui/shell/startscreen.h"

#include "ui/kit/appresources.h"
#include "ui/kit/uiutil.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QLabel>
#include <QPushButton>

namespace tamso::ui {

namespace {
QLabel* label(QWidget* parent, const char* name, const QString& text, int l, int t, int w, int h) {
    auto* label = new QLabel(text, parent);
    nameControl(label, QString::fromLatin1(name), text);
    placeTwips(label, l, t, w, h);
    return label;
}
} // namespace

namespace {

// "TAMSO Ⅱ" in the largest size that fits, and the subtitles.
void addTitles(QWidget* screen) {
    QFont titleFont(timesFontFamily(), 22, QFont::Bold);
    titleFont.setItalic(true);
    QLabel* title = label(screen, "Label7", QStringLiteral("TAMSO"), 1440, 240, 1125, 465);
    // The largest size at which the title fits its place.
    while (titleFont.pointSize() > 8 &&
           QFontMetrics(titleFont).boundingRect(title->text()).width() * 1.15 > title->width())
        titleFont.setPointSize(titleFont.pointSize() - 1);
    title->setFont(titleFont);
    title->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    title->setStyleSheet(QStringLiteral("color: #1d4f91;"));
    QLabel* two = label(screen, "Label8", QStringLiteral("Ⅱ"), 2760, 300, 495, 495);
    two->setFont(QFont(timesFontFamily(), 20, QFont::Bold));
    two->setStyleSheet(QStringLiteral("color: #c03030;"));
    // Label7/Label8 are kept as one heading for assistive technology as well.
    title->setAccessibleName(QStringLiteral("TAMSO Ⅱ"));

    QFont subtitleFont(timesFontFamily(), 9);
    subtitleFont.setItalic(true);
    for (QLabel* sub : {label(screen, "Label3", QStringLiteral("TAMSO"), 480, 120, 5070, 345),
                        label(screen, "Label4", QStringLiteral("in NICU room"), 2280, 480, 3735, 345)}) {
        sub->setFont(subtitleFont);
        sub->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        sub->setStyleSheet(QStringLiteral("color: #6d5d4d;"));
    }
}

// The illustration: our own drawing of a nurse at an incubator (300 × 430, scaled to fit).
void addIllustration(QWidget* screen) {
    auto* picture = new QLabel(screen);
    nameControl(picture, QStringLiteral("Picture1"),
                QCoreApplication::translate("StartScreen", "保育器の乳児を世話する看護師のイラスト"));
    placeTwips(picture, 120, 960, 4080, 5850);
    picture->setPixmap(svgPixmap(QStringLiteral(":/tamso/nurse.svg"), picture->size()));
    label(screen, "Label9", QCoreApplication::translate("StartScreen", "イラスト出典"), 120, 6870, 1200, 240)
        ->setFont(QFont(gothicFontFamily(), 8));
    label(screen, "Label6", QCoreApplication::translate("StartScreen", "イラスト: TAMSO 開発チーム"), 1320,
          6870, 2880, 240)
        ->setFont(QFont(gothicFontFamily(), 8));
}

// "MENU" over its shadow.
void addMenuHeading(QWidget* screen) {
    QFont menuFont(timesFontFamily(), 14, QFont::Bold);
    QLabel* menuShadow = label(screen, "Label1", QStringLiteral("MENU"), 5040, 3480, 1185, 360);
    menuShadow->setFont(menuFont);
    menuShadow->setStyleSheet(QStringLiteral("color: #9aa7b5;"));
    QLabel* menu = label(screen, "Label2", QStringLiteral("MENU"), 5025, 3465, 1065, 360);
    menu->setFont(menuFont);
    menu->setStyleSheet(QStringLiteral("color: #1d4f91; background: transparent;"));
}

struct MenuCommands {
    QPushButton* newCalculation;
    QPushButton* search;
    QPushButton* exit;
    QPushButton* basicData;
    QPushButton* audit;
    QPushButton* received;
};

MenuCommands addMenuCommands(QWidget* screen) {
    const QFont buttonFont(roundGothicFontFamily(), 11);
    auto button = [&](const char* name, const QString& text, int l, int t, int w, int h) {
        auto* b = new QPushButton(text, screen);
        nameControl(b, QString::fromLatin1(name), text);
        b->setFont(buttonFont);
        b->setAutoDefault(true); // Enter presses the focused command
        placeTwips(b, l, t, w, h);
        return b;
    };
    MenuCommands c{};
    c.newCalculation =
        button("Command1", QCoreApplication::translate("StartScreen", "新規計算"), 4320, 4080, 2295, 525);
    c.search = button("Command2", QCoreApplication::translate("StartScreen", "データ検索"), 4320, 4800, 2295, 525);
    c.exit = button("Command3", QCoreApplication::translate("StartScreen", "終　了"), 4320, 5520, 2295, 495);
    c.exit->setToolTip(QStringLiteral(" bye "));
    c.basicData = button("Command4", QCoreApplication::translate("StartScreen", "基本データ入力"), 4800, 6960,
                         1815, 345);
    c.basicData->setFont(QFont(roundGothicFontFamily(), 9));
    // The facility audit against the diagnostic reference levels: a smaller command like the basic
    // data, in the free space above it, so that no other control moves.
    c.audit = button("Command5", QCoreApplication::translate("StartScreen", "参考レベル監査"), 4800, 6480, 1815,
                     345);
    c.audit->setFont(QFont(roundGothicFontFamily(), 9));
    // The images the DICOM node received, held and recorded: a small command in the free space
    // above the menu, so that no other control moves.
    c.received =
        button("Command6", QCoreApplication::translate("StartScreen", "受信画像"), 4800, 2940, 1815, 345);
    c.received->setFont(QFont(roundGothicFontFamily(), 9));
    return c;
}

// The hospital's name (returned) and the rights line along the bottom.
QLabel* addFooter(QWidget* screen) {
    QLabel* hospital = label(screen, "Label10", QCoreApplication::translate("StartScreen", "ここに病院名が入る"),
                             2415, 7560, 2160, 240);
    hospital->setAlignment(Qt::AlignCenter);
    hospital->setFont(QFont(gothicFontFamily(), 10));
    QLabel* rights =
        label(screen, "Label5",
              QCoreApplication::translate("StartScreen", "© TAMSO 開発チーム  All rights reserved."), 2040,
              7920, 2910, 225);
    rights->setFont(QFont(timesFontFamily(), 7));
    rights->setAlignment(Qt::AlignCenter);
    return hospital;
}

} // namespace

StartScreen::StartScreen(QWidget* parent) : QWidget(parent, Qt::Window) {
    ensureResources();
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(QStringLiteral("TAMSO-Ⅱ"));
    setFont(QFont(timesFontFamily(), 10));
    setFixedSize(twips(6825), twips(8235));
    setAutoFillBackground(true);
    QPalette background = palette();
    background.setColor(QPalette::Window, QColor(0xfd, 0xf8, 0xef));
    setPalette(background);

    addTitles(this);
    addIllustration(this);
    addMenuHeading(this);
    const MenuCommands c = addMenuCommands(this);
    hospital_ = addFooter(this);

    setTabOrder(c.newCalculation, c.search);
    setTabOrder(c.search, c.exit);
    setTabOrder(c.exit, c.audit);
    setTabOrder(c.audit, c.basicData);
    setTabOrder(c.basicData, c.received);

    connect(c.newCalculation, &QPushButton::clicked, this, &StartScreen::newCalculationRequested);
    connect(c.search, &QPushButton::clicked, this, &StartScreen::recordSearchRequested);
    connect(c.exit, &QPushButton::clicked, this, &StartScreen::exitRequested);
    connect(c.basicData, &QPushButton::clicked, this, &StartScreen::basicDataEditorRequested);
    connect(c.audit, &QPushButton::clicked, this, &StartScreen::doseAuditRequested);
    connect(c.received, &QPushButton::clicked, this, &StartScreen::receivedImagesRequested);
}

void StartScreen::setHospitalName(const QString& name) {
    hospital_->setText(name);
    hospital_->setAccessibleName(name.trimmed().isEmpty() ? QStringLiteral("Label10") : name.trimmed());
}

void StartScreen::closeEvent(QCloseEvent* event) {
    // Closing the start screen ends the program, whatever else is still loaded.
    event->accept();
    emit exitRequested();
}

} // namespace tamso::ui
