#pragma once
// The organ doses of the exposure-condition screen's last run ("臓器線量"): the effective dose with
// its uncertainty and weight, a table of the absorbed dose of every organ (μGy) and a front view of
// the infant with its main organs coloured by their dose.

#include "engine/organdose.h"

#include <QWidget>

class QLabel;
class QTableWidget;

namespace tamso::ui {

// The front view: outline of the body, the main organs as ellipses, white (no dose) to red (the
// highest organ dose shown), with a scale.
class OrganOutline : public QWidget {
    Q_OBJECT
public:
    explicit OrganOutline(QWidget* parent = nullptr);
    void setDoses(const engine::OrganDoses& dosesUGy);
    // The colour an organ of `doseUGy` is drawn in when the highest dose is `highestUGy`.
    static QColor doseColour(double doseUGy, double highestUGy);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    engine::OrganDoses doses_{};
};

class OrganDoseWindow : public QWidget {
    Q_OBJECT
public:
    explicit OrganDoseWindow(QWidget* parent = nullptr);

    // Shows the organ doses of one exposure (replacing those shown).
    void showDoses(const QString& bodyPart, const engine::OrganDoseResult& doses);
    QTableWidget* table() const { return table_; }
    // An organ's name as the window shows it in the interface's language.
    static QString organName(int organ);

private:
    QLabel* summary_ = nullptr;
    QTableWidget* table_ = nullptr;
    OrganOutline* outline_ = nullptr;
};

} // namespace tamso::ui
