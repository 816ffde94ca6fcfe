#pragma once
// The application shell: owns the start screen, the exposure-condition screen and the
// illustration window, moves between them and registers their navigation hooks.

#include <QObject>
#include <QPointer>
#include <functional>

namespace tamso::ui {

class StartScreen;
class ConditionsScreen;
class IllustrationWindow;

class Shell : public QObject {
    Q_OBJECT
public:
    Shell();
    ~Shell() override;

    // Start-up: reads the reference data of the working folder into the calculation state, then
    // shows the start screen with the hospital name. On a loader failure the message is shown
    // and no screen opens; returns false.
    bool start();

    // How the program ends ("終　了", the start screen's close box). Defaults to quitting the
    // application's event loop.
    std::function<void()> quitProgram;

    StartScreen* startScreen() const;
    // Null before the first "新規計算" and after the screen's close box.
    ConditionsScreen* conditionsScreen() const;
    IllustrationWindow* illustrationWindow() const;

    // Form2.Command1 "新規計算".
    void newCalculation();
    void showIllustration();

private:
    void registerHooks();
    void conditionsBack();
    void conditionsClosed();
    void endProgram();

    QPointer<StartScreen> startScreen_;
    QPointer<ConditionsScreen> conditions_;
    QPointer<IllustrationWindow> illustration_;
};

} // namespace tamso::ui
