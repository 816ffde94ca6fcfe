#pragma once
// The layout the dialogs share that ask who does something to one item and why (withdrawing a
// record, setting a held image aside): the item, what follows from it, the two fields, then OK and
// Cancel, each named for screen readers.

#include <QString>

class QDialog;
class QLabel;
class QPushButton;
class QWidget;

namespace tamso::ui {

// Lays the controls out in the dialog and connects OK and Cancel; returns the OK button.
QPushButton* layOutWhoAndWhy(QDialog* dialog, QLabel* item, QLabel* explanation, const QString& whoCaption,
                             QWidget* who, const QString& reasonCaption, QWidget* reason, const QString& okText,
                             const QString& cancelText);

// Whether the text is filled in; if not, the message is said over the dialog and the field gets
// the focus.
bool filledInOrSaid(QDialog* dialog, const QString& text, QWidget* field, const QString& message);

} // namespace tamso::ui
