#pragma once
// The report preview (Form8.Picture1): a white picture box whose user scale runs 0..210 across and
// 0..296 down. Drawings are kept in an image, so the preview survives being covered, and a second
// drawing is laid over the first until the preview is cleared.

#include "ui/report/reportfields.h"

#include <QImage>
#include <QWidget>

namespace tamso::engine {
struct CalculationState;
}

namespace tamso::ui {

class ReportPreview : public QWidget {
    Q_OBJECT
public:
    explicit ReportPreview(QWidget* parent = nullptr);

    void clear();
    // The report of the fields with the X-ray unit and the hospital of the basic data.
    void drawReport(const ReportFields& fields, const engine::CalculationState& basicData);
    const QImage& image() const { return image_; }

    static constexpr double kUserWidth = 210;
    static constexpr double kUserHeight = 296;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage image_;
};

} // namespace tamso::ui
