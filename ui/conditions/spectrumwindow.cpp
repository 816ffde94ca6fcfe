#include "ui/conditions/spectrumwindow.h"

#include "ui/kit/uiutil.h"

#include <QChart>
#include <QChartView>
#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace tamso::ui {

SpectrumWindow::SpectrumWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("FormSpectrum"));
    setWindowTitle(QCoreApplication::translate("SpectrumWindow", "Ｘ線スペクトル"));
    setAccessibleName(windowTitle());
    setAccessibleDescription(objectName());
    setFont(QFont(gothicFontFamily(), 10));
    resize(820, 480);

    view_ = new QChartView(this);
    nameControl(view_, QStringLiteral("Chart1"),
                QCoreApplication::translate("SpectrumWindow", "Ｘ線スペクトル"));
    view_->setRenderHint(QPainter::Antialiasing);
    view_->setMinimumSize(560, 380);
    figures_ = new QLabel(this);
    nameControl(figures_, QStringLiteral("Label1"), QCoreApplication::translate("SpectrumWindow", "線質"));
    figures_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    auto* close = new QPushButton(QCoreApplication::translate("SpectrumWindow", "閉じる"), this);
    nameControl(close, QStringLiteral("Command1"), QCoreApplication::translate("SpectrumWindow", "閉じる"));
    connect(close, &QPushButton::clicked, this, &QWidget::hide);
    closeOnEscape(this, close);

    auto* side = new QVBoxLayout;
    side->addWidget(figures_);
    side->addStretch();
    side->addWidget(close);
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(view_, 1);
    layout->addLayout(side);
}

void SpectrumWindow::showSpectrum(const SpectrumData& data) {
    data_ = data;
    QChart* old = view_->chart();
    view_->setChart(makeSpectrumChart(data, {gothicFontFamily()}));
    delete old; // the view does not delete a chart it gives up
    figures_->setText(spectrumFigures(data).join(QLatin1Char('\n')));
    figures_->setAccessibleName(figures_->text());
}

} // namespace tamso::ui
