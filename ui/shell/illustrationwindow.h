#pragma once
// The illustration window (Form4, "保育器の周辺線量　線量評価点"): the incubator in the X-ray
// beam with the three points at which the caregiver dose is evaluated.

#include <QWidget>

namespace tamso::ui {

// Form4.Picture1: the drawing, painted in a fixed design space scaled to the widget.
class IncubatorDrawing : public QWidget {
public:
    explicit IncubatorDrawing(QWidget* parent = nullptr);

    // The texts the drawing shows, in painting order (for tests and assistive technology).
    static QStringList labels();

protected:
    void paintEvent(QPaintEvent* event) override;
};

class IllustrationWindow : public QWidget {
    Q_OBJECT
public:
    explicit IllustrationWindow(QWidget* parent = nullptr);

signals:
    // Command1 "Close": the window hides itself; the exposure-condition screen comes to the front.
    void closeRequested();
};

} // namespace tamso::ui
