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

void MessageBox::warning(QWidget* parent, const QString& text) { show(parent, Kind::Warning, text); }
void MessageBox::notice(QWidget* parent, const QString& text) { show(parent, Kind::Notice, text); }
bool MessageBox::askOkCancel(QWidget* parent, const QString& text) {
    return show(parent, Kind::QuestionOkCancel, text) == Answer::Ok;
}
bool MessageBox::askYesNo(QWidget* parent, const QString& text) {
    return show(parent, Kind::QuestionYesNo, text) == Answer::Yes;
}

void MessageBox::setTestMode(bool on) { testMode = on; }
void MessageBox::setNextAnswer(Answer answer) { answers().enqueue(answer); }
const QVector<MessageBox::Shown>& MessageBox::shown() { return shownList(); }
void MessageBox::clearShown() {
    shownList().clear();
    answers().clear();
}

MessageBox::Answer MessageBox::show(QWidget* parent, Kind kind, const QString& text) {
    const QMessageBox::Icon icon = kind == Kind::Warning ? QMessageBox::Warning : QMessageBox::NoIcon;
    shownList().append({kind, text, icon});
    if (testMode) {
        if (kind == Kind::Warning || kind == Kind::Notice)
            return Answer::Ok;
        Answer fallback = kind == Kind::QuestionYesNo ? Answer::Yes : Answer::Ok;
        return answers().isEmpty() ? fallback : answers().dequeue();
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
        return box.exec() == QMessageBox::Yes ? Answer::Yes : Answer::No;
    }
    return Answer::Cancel;
}

} // namespace tamso::ui
