#include "ui/conditions/organdosewindow.h"

#include "textio/quantitytext.h"
#include "ui/kit/language.h"
#include "ui/kit/organdosedata.h"
#include "ui/kit/uiutil.h"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace tamso::ui {

namespace {

using engine::Organ;

// The main organs in the front view: centre and half-axes as fractions of the figure's width and
// height (the infant supine, head up, seen from the tube).
struct Shape {
    int organ;
    double x, y, rx, ry;
};
constexpr Shape kShapes[] = {
    {Organ::Brain, 0.50, 0.10, 0.13, 0.07},          {Organ::EyeLens, 0.45, 0.135, 0.012, 0.006},
    {Organ::EyeLens, 0.55, 0.135, 0.012, 0.006},     {Organ::Thyroid, 0.50, 0.215, 0.035, 0.010},
    {Organ::Thymus, 0.50, 0.265, 0.05, 0.022},       {Organ::Lungs, 0.41, 0.31, 0.075, 0.065},
    {Organ::Lungs, 0.59, 0.31, 0.075, 0.065},        {Organ::Heart, 0.53, 0.33, 0.06, 0.04},
    {Organ::Liver, 0.43, 0.405, 0.11, 0.045},        {Organ::Stomach, 0.60, 0.405, 0.05, 0.03},
    {Organ::Spleen, 0.68, 0.40, 0.025, 0.025},       {Organ::Kidneys, 0.40, 0.45, 0.025, 0.025},
    {Organ::Kidneys, 0.60, 0.45, 0.025, 0.025},      {Organ::SmallIntestine, 0.50, 0.49, 0.09, 0.04},
    {Organ::Colon, 0.50, 0.47, 0.14, 0.065},         {Organ::UrinaryBladder, 0.50, 0.555, 0.035, 0.015},
    {Organ::Ovaries, 0.44, 0.54, 0.012, 0.008},      {Organ::Ovaries, 0.56, 0.54, 0.012, 0.008},
    {Organ::Testes, 0.50, 0.605, 0.025, 0.012},
};

} // namespace

OrganOutline::OrganOutline(QWidget* parent) : QWidget(parent) {
    setMinimumSize(240, 420);
}

void OrganOutline::setDoses(const engine::OrganDoses& dosesUGy) {
    doses_ = dosesUGy;
    update();
}

QColor OrganOutline::doseColour(double doseUGy, double highestUGy) {
    const double f = highestUGy > 0 ? std::clamp(doseUGy / highestUGy, 0.0, 1.0) : 0.0;
    return QColor::fromRgbF(1.0, 1.0 - 0.85 * f, 1.0 - 0.9 * f);
}

void OrganOutline::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF area = QRectF(rect()).adjusted(8, 8, -8, -40);
    auto at = [&](double x, double y, double rx, double ry) {
        return QRectF(area.left() + (x - rx) * area.width(), area.top() + (y - ry) * area.height(),
                      2 * rx * area.width(), 2 * ry * area.height());
    };
    // The body: head, neck, trunk, arms and legs.
    p.setPen(QPen(QColor(0x60, 0x60, 0x60), 1.5));
    p.setBrush(QColor(0xf6, 0xee, 0xe6));
    p.drawEllipse(at(0.50, 0.11, 0.16, 0.095));
    p.drawRect(at(0.50, 0.215, 0.06, 0.02));
    p.drawRoundedRect(at(0.50, 0.42, 0.21, 0.19), 18, 18);
    p.drawRoundedRect(at(0.22, 0.38, 0.05, 0.15), 10, 10);
    p.drawRoundedRect(at(0.78, 0.38, 0.05, 0.15), 10, 10);
    p.drawRoundedRect(at(0.41, 0.80, 0.065, 0.19), 12, 12);
    p.drawRoundedRect(at(0.59, 0.80, 0.065, 0.19), 12, 12);
    const double highest = *std::max_element(doses_.begin(), doses_.end());
    // The large organs first, so that the small ones lie over them.
    std::vector<Shape> shapes(std::begin(kShapes), std::end(kShapes));
    std::stable_sort(shapes.begin(), shapes.end(),
                     [](const Shape& a, const Shape& b) { return a.rx * a.ry > b.rx * b.ry; });
    p.setPen(QPen(QColor(0x40, 0x40, 0x40), 1));
    for (const Shape& s : shapes) {
        p.setBrush(doseColour(doses_[s.organ], highest));
        p.drawEllipse(at(s.x, s.y, s.rx, s.ry));
    }
    // The scale: 0 to the highest dose.
    const QRectF bar(area.left(), area.bottom() + 10, area.width(), 10);
    QLinearGradient gradient(bar.topLeft(), bar.topRight());
    gradient.setColorAt(0, doseColour(0, 1));
    gradient.setColorAt(1, doseColour(1, 1));
    p.setBrush(gradient);
    p.drawRect(bar);
    p.drawText(QRectF(bar.left(), bar.bottom() + 2, bar.width(), 16), Qt::AlignLeft, QStringLiteral("0"));
    p.drawText(QRectF(bar.left(), bar.bottom() + 2, bar.width(), 16), Qt::AlignRight,
               qs(textio::organDoseText(highest)) + QStringLiteral(" μGy"));
}

QString OrganDoseWindow::organName(int organ) {
    const engine::OrganInfo& info = engine::organInfo(organ);
    if (installedLanguage() != Language::English)
        return QString::fromUtf8(info.nameJa);
    QString name = QString::fromLatin1(info.key).replace(QLatin1Char('_'), QLatin1Char(' '));
    name[0] = name[0].toUpper();
    return name;
}

OrganDoseWindow::OrganDoseWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("FormOrganDoses"));
    setWindowTitle(QCoreApplication::translate("OrganDoseWindow", "臓器線量"));
    setAccessibleName(windowTitle());
    setAccessibleDescription(objectName());
    setFont(QFont(gothicFontFamily(), 10));
    resize(720, 600);

    summary_ = new QLabel(this);
    nameControl(summary_, QStringLiteral("Label1"), QCoreApplication::translate("OrganDoseWindow", "実効線量"));
    summary_->setWordWrap(true);
    table_ = new QTableWidget(engine::kOrganCount, 2, this);
    nameControl(table_, QStringLiteral("Table1"), QCoreApplication::translate("OrganDoseWindow", "臓器線量の表"));
    table_->setHorizontalHeaderLabels({QCoreApplication::translate("OrganDoseWindow", "臓器・組織"),
                                       QCoreApplication::translate("OrganDoseWindow", "吸収線量 (μGy)")});
    table_->verticalHeader()->hide();
    table_->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
    table_->horizontalHeader()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    outline_ = new OrganOutline(this);
    nameControl(outline_, QStringLiteral("Picture1"),
                QCoreApplication::translate("OrganDoseWindow", "臓器線量の分布（正面）"));
    auto* close = new QPushButton(QCoreApplication::translate("OrganDoseWindow", "閉じる"), this);
    nameControl(close, QStringLiteral("Command1"), QCoreApplication::translate("OrganDoseWindow", "閉じる"));
    connect(close, &QPushButton::clicked, this, &QWidget::hide);
    closeOnEscape(this, close);

    auto* columns = new QHBoxLayout;
    columns->addWidget(table_, 1);
    columns->addWidget(outline_);
    auto* bottom = new QHBoxLayout;
    bottom->addStretch();
    bottom->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(summary_);
    layout->addLayout(columns, 1);
    layout->addLayout(bottom);
}

void OrganDoseWindow::showDoses(const QString& bodyPart, const engine::OrganDoseResult& doses) {
    summary_->setText(QCoreApplication::translate("OrganDoseWindow", "%1　実効線量 %2（ICRP 103）　%3")
                          .arg(bodyPart,
                               qs(textio::effectiveDoseWithUncertaintyText(doses.effectiveDoseUSv,
                                                                           doses.effectiveDoseUUSv)),
                               weightShown(doses)));
    summary_->setAccessibleName(summary_->text());
    for (int o = 0; o < engine::kOrganCount; ++o) {
        auto* name = new QTableWidgetItem(organName(o));
        auto* dose = new QTableWidgetItem(qs(textio::organDoseText(doses.doseUGy[o])));
        dose->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
        table_->setItem(o, 0, name);
        table_->setItem(o, 1, dose);
    }
    outline_->setDoses(doses.doseUGy);
}

} // namespace tamso::ui
