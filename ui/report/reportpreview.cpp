#include "ui/report/reportpreview.h"

#include "ui/report/paintercanvas.h"
#include "ui/report/reportlayout.h"
#include "ui/kit/uiutil.h"

#include <QPainter>

namespace tamso::ui {

ReportPreview::ReportPreview(QWidget* parent) : QWidget(parent) {
    image_ = QImage(twips(8295), twips(11655), QImage::Format_RGB32);
    // 96 dots per inch, so that font sizes in points look as they do on the screen.
    image_.setDotsPerMeterX(3780);
    image_.setDotsPerMeterY(3780);
    image_.fill(Qt::white);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void ReportPreview::clear() {
    image_.fill(Qt::white);
    update();
}

void ReportPreview::drawReport(const ReportFields& fields, const engine::CalculationState& basicData) {
    QPainter painter(&image_);
    PainterCanvas::Mapping mapping;
    mapping.unitsToDeviceX = image_.width() / kUserWidth;
    mapping.unitsToDeviceY = image_.height() / kUserHeight;
    PainterCanvas canvas(painter, mapping);
    tamso::ui::drawReport(canvas, ReportTarget::Preview, fields, basicData);
    painter.end();
    update();
}

void ReportPreview::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    painter.drawImage(QPoint(0, 0), image_);
}

} // namespace tamso::ui
