#pragma once
// Every message box of the program goes through here: title "TAMSO-2", modal, warnings with the
// exclamation icon and OK, questions without icon (OK/Cancel or Yes/No), notices with OK only.
// Tests queue the answers and read back what would have been shown, without any dialog opening.

#include <QMessageBox>
#include <QString>
#include <QVector>

class QWidget;

namespace tamso::ui {

class MessageBox {
public:
    enum class Kind { Warning, Notice, QuestionOkCancel, QuestionYesNo };
    enum class Answer { Ok, Cancel, Yes, No };

    struct Shown {
        Kind kind;
        QString text;
        QMessageBox::Icon icon;
        Answer defaultAnswer = Answer::Ok; // the button Enter presses
    };

    static void warning(QWidget* parent, const QString& text);
    static void notice(QWidget* parent, const QString& text);
    // true for OK / Yes.
    static bool askOkCancel(QWidget* parent, const QString& text);
    // defaultAnswer: the button Enter presses, Yes or No.
    static bool askYesNo(QWidget* parent, const QString& text, Answer defaultAnswer = Answer::Yes);

    static QString title() { return QStringLiteral("TAMSO-2"); }

    // Test support. While test mode is on, no dialog opens: a question takes the next queued
    // answer (the question's default button when none is queued) and every message is recorded.
    static void setTestMode(bool on);
    static void setNextAnswer(Answer answer);
    static const QVector<Shown>& shown();
    static void clearShown();

private:
    static Answer show(QWidget* parent, Kind kind, const QString& text, Answer defaultAnswer);
};

} // namespace tamso::ui
