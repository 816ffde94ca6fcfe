#pragma once
// The field-size list of the exposure-condition screen: the standard film and cassette sizes at
// the image receptor, and "その他" for sizes typed by the user.

#include <QString>
#include <QVector>
#include <optional>

namespace tamso::ui {

struct FieldSizePreset {
    QString name;
    double longCm;
    double shortCm;
};

// The six sizes, in list order (without "その他").
const QVector<FieldSizePreset>& fieldSizePresets();
// The seven list entries, in order, "その他" last.
QStringList fieldSizeListEntries();
QString otherFieldSizeName(); // "その他"
// The preset of exactly this name, if it is one of the six sizes.
std::optional<FieldSizePreset> findFieldSizePreset(const QString& name);

} // namespace tamso::ui
