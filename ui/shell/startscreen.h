#pragma once
// The start screen (Form2, "TAMSO-Ⅱ"): title, illustration, hospital name and the menu.

#include <QWidget>

class QLabel;
class QPushButton;

namespace tamso::ui {

class StartScreen : public QWidget {
    Q_OBJECT
public:
    explicit StartScreen(QWidget* parent = nullptr);

    void setHospitalName(const QString& name); // Form2.Label10

signals:
    void newCalculationRequested(); // Command1 "新規計算"
    void exitRequested();           // Command3 "終　了" and the close box
    void recordSearchRequested();   // Command2 "データ検索"
    void basicDataEditorRequested(); // Command4 "基本データ入力"
    void doseAuditRequested();       // Command5 "参考レベル監査"
    void receivedImagesRequested();  // Command6 "受信画像"

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    QLabel* hospital_ = nullptr;
};

} // namespace tamso::ui
