#include "ui/conditions/measuredexposuredialog.h"

#include "engine/calculationstate.h"
#include "textio/numbertext.h"
#include "ui/kit/messagebox.h"
#include "ui/kit/numberinput.h"
#include "ui/kit/uiutil.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace tamso::ui {

namespace {
constexpr double kCoulombPerKgPerRoentgen = 0.000258;

QLabel* makeLabel(QWidget* parent, const QString& name, const QString& text) {
    auto* label = new QLabel(text, parent);
    nameControl(label, name, text);
    return label;
}
} // namespace

double MeasuredExposureDialog::toCoulombPerKg(double reading, int unitOption, double wAirEv) {
    if (unitOption == 1)
        return reading;
    if (unitOption == 2)
        return reading * kCoulombPerKgPerRoentgen;
    return reading / wAirEv;
}

namespace {

QLabel* headingLabel(QWidget* parent) {
    auto* heading =
        makeLabel(parent, QStringLiteral("Label1"),
                  QCoreApplication::translate("MeasuredExposureDialog", "焦点から１ｍの距離の照射線量"));
    QFont headingFont = heading->font();
    headingFont.setBold(true);
    headingFont.setPointSize(11);
    heading->setFont(headingFont);
    return heading;
}

// "入力例" beside the examples of a reading, in red.
QHBoxLayout* examplesRow(QWidget* parent) {
    auto* examples = new QHBoxLayout;
    examples->addWidget(makeLabel(parent, QStringLiteral("Label4"),
                                  QCoreApplication::translate("MeasuredExposureDialog", "入力例")),
                        0, Qt::AlignTop);
    auto* exampleColumn = new QVBoxLayout;
    const QString red = QStringLiteral("color: #d00000;");
    for (const auto& [name, text] : {std::pair{QStringLiteral("Label2"), QStringLiteral("2.58E-4")},
                                     std::pair{QStringLiteral("Label5"), QStringLiteral("25.8e-5")},
                                     std::pair{QStringLiteral("Label3"), QStringLiteral("0.000258")}}) {
        QLabel* label = makeLabel(parent, name, text);
        label->setStyleSheet(red);
        exampleColumn->addWidget(label);
    }
    examples->addLayout(exampleColumn);
    examples->addStretch();
    return examples;
}

} // namespace

MeasuredExposureDialog::MeasuredExposureDialog(const engine::CalculationState& state, QWidget* parent)
    : QWidget(parent, Qt::Window), state_(state) {
    setObjectName(QStringLiteral("Form9"));
    setWindowTitle(QCoreApplication::translate("MeasuredExposureDialog", "実測値入力"));
    setFont(QFont(gothicFontFamily(), 10));

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(headingLabel(this));
    layout->addWidget(
        makeLabel(this, QStringLiteral("Label6"),
                  QCoreApplication::translate("MeasuredExposureDialog", "( フード・カバー無しで測定 )")));
    layout->addWidget(buildUnitChoice());

    reading_ = new QLineEdit(this);
    nameControl(reading_, QStringLiteral("Text1"),
                QCoreApplication::translate("MeasuredExposureDialog", "照射線量の実測値"));
    reading_->installEventFilter(this);
    foldWideCharacters(reading_);
    layout->addWidget(reading_);
    layout->addLayout(examplesRow(this));

    auto* buttons = new QHBoxLayout;
    ok_ = new QPushButton(QStringLiteral("OK"), this);
    nameControl(ok_, QStringLiteral("Command1"), QStringLiteral("OK"));
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    nameControl(cancel, QStringLiteral("Command2"), QStringLiteral("Cancel"));
    cancel->setToolTip(QCoreApplication::translate("MeasuredExposureDialog", " やめます "));
    // Enter presses the focused button (the reading's Enter only moves the focus to OK).
    ok_->setAutoDefault(true);
    cancel->setAutoDefault(true);
    buttons->addWidget(ok_);
    buttons->addWidget(cancel);
    layout->addLayout(buttons);

    setTabOrder(optionCkg_, optionR_);
    setTabOrder(optionR_, optionGy_);
    setTabOrder(optionGy_, reading_);
    setTabOrder(reading_, ok_);
    setTabOrder(ok_, cancel);

    connect(ok_, &QPushButton::clicked, this, &MeasuredExposureDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &MeasuredExposureDialog::cancel);
    adjustSize();
}

// The unit of the reading: exposure in C/kg or R, or air kerma in Gy.
QGroupBox* MeasuredExposureDialog::buildUnitChoice() {
    auto* frame = new QGroupBox(QCoreApplication::translate("MeasuredExposureDialog", "入力単位"), this);
    nameControl(frame, QStringLiteral("Frame1"),
                QCoreApplication::translate("MeasuredExposureDialog", "入力単位"));
    auto* frameLayout = new QVBoxLayout(frame);
    optionCkg_ =
        new QRadioButton(QCoreApplication::translate("MeasuredExposureDialog", "照射線量 [ C/kg ]"), frame);
    nameControl(optionCkg_, QStringLiteral("Option1"), optionCkg_->text());
    optionR_ =
        new QRadioButton(QCoreApplication::translate("MeasuredExposureDialog", "照射線量   [ R ]"), frame);
    nameControl(optionR_, QStringLiteral("Option2"), optionR_->text());
    optionGy_ =
        new QRadioButton(QCoreApplication::translate("MeasuredExposureDialog", "空気カーマ [ Gy ]"), frame);
    nameControl(optionGy_, QStringLiteral("Option3"), optionGy_->text());
    optionCkg_->setChecked(true);
    frameLayout->addWidget(optionCkg_);
    frameLayout->addWidget(optionR_);
    frameLayout->addWidget(optionGy_);
    return frame;
}

void MeasuredExposureDialog::open() {
    reading_->clear();
    show();
    raise();
    activateWindow();
    reading_->setFocus(Qt::OtherFocusReason);
}

bool MeasuredExposureDialog::eventFilter(QObject* watched, QEvent* event) {
    if (watched == reading_ && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter)
            ok_->setFocus(Qt::TabFocusReason); // moves only; OK is not pressed
    }
    return QWidget::eventFilter(watched, event);
}

void MeasuredExposureDialog::accept() {
    const QString text = reading_->text();
    // A reading that is not a number is said to be one; the dialog stays for a new reading. An
    // empty reading, 0 or a negative one goes back to the tube output data.
    const TypedNumber reading = readTypedNumber(text);
    if (reading.status == TypedNumber::NotANumber || reading.status == TypedNumber::OutOfRange) {
        MessageBox::warning(
            this, typedNumberProblem(QCoreApplication::translate("MeasuredExposureDialog", "実測値"), text));
        reading_->setFocus(Qt::OtherFocusReason);
        return;
    }
    const double value = reading.value;
    if (reading.ok() && value > 0) {
        const int unit = optionCkg_->isChecked() ? 1 : optionR_->isChecked() ? 2 : 3;
        hide();
        emit measuredValueAccepted(toCoulombPerKg(value, unit, state_.wAirEv));
    } else {
        hide();
        emit outputDataChosen();
    }
}

void MeasuredExposureDialog::cancel() {
    hide();
    emit outputDataChosen();
}

void MeasuredExposureDialog::closeEvent(QCloseEvent* event) {
    // The close box discards the dialog; its next opening starts from C/kg again.
    emit outputDataChosen();
    emit discarded();
    event->accept();
    deleteLater();
}

} // namespace tamso::ui
