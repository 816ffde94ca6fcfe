#include "ui/kit/messagebox.h"

#include <QQueue>

namespace tamso::ui {
namespace {

bool testMode = false;
QQueue<MessageBox::Answer>& answers() {
    static QQueue<MessageBox::Answer> queue;
    return queue;
}
QVector<MessageBox::Shown>& shownList() {
    static QVector<MessageBox::Shown> list;
    return list;
}

} // namespace

void MessageBox::warning(QWidget* parent, const QString& text) {
    show(parent, Kind::Warning, text, Answer::Ok);
}
void MessageBox::notice(QWidget* parent, const QString& text) {
    show(parent, Kind::Notice, text, Answer::Ok);
}
bool MessageBox::askOkCancel(QWidget* parent, const QString& text) {
    return show(parent, Kind::QuestionOkCancel, text, Answer::Ok) == Answer::Ok;
}
bool MessageBox::askYesNo(QWidget* parent, const QString& text, Answer defaultAnswer) {
    return show(parent, Kind::QuestionYesNo, text, defaultAnswer == Answer::No ? Answer::No : Answer::Yes) ==
           Answer::Yes;
}

void MessageBox::setTestMode(bool on) {
    testMode = on;
}
void MessageBox::setNextAnswer(Answer answer) {
    answers().enqueue(answer);
}
const QVector<MessageBox::Shown>& MessageBox::shown() {
    return shownList();
}
void MessageBox::clearShown() {
    shownList().clear();
    answers().clear();
}

MessageBox::Answer MessageBox::show(QWidget* parent, Kind kind, const QString& text, Answer defaultAnswer) {
    const QMessageBox::Icon icon = kind == Kind::Warning ? QMessageBox::Warning : QMessageBox::NoIcon;
    shownList().append({kind, text, icon, defaultAnswer});
    if (testMode) {
        if (kind == Kind::Warning || kind == Kind::Notice)
            return Answer::Ok;
        return answers().isEmpty() ? defaultAnswer : answers().dequeue();
    }
    QMessageBox box(icon, title(), text, QMessageBox::NoButton, parent);
    box.setAccessibleName(text);
    box.setAccessibleDescription(QStringLiteral("MessageBox"));
    switch (kind) {
    case Kind::Warning:
    case Kind::Notice:
        box.setStandardButtons(QMessageBox::Ok);
        box.exec();
        return Answer::Ok;
    case Kind::QuestionOkCancel:
        box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
        return box.exec() == QMessageBox::Ok ? Answer::Ok : Answer::Cancel;
    case Kind::QuestionYesNo:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(defaultAnswer == Answer::No ? QMessageBox::No : QMessageBox::Yes);
        box.setEscapeButton(QMessageBox::No);
        return box.exec() == QMessageBox::Yes ? Answer::Yes : Answer::No;
    }
    return Answer::Cancel;
}

} // namespace tamso::ui
