#include "ui/conditions/fieldsizepresets.h"

namespace tamso::ui {

const QVector<FieldSizePreset>& fieldSizePresets() {
    // The long-axis field takes the first value for every size, including 半六切 (10.2 × 12.7).
    static const QVector<FieldSizePreset> presets = {
        {QStringLiteral("半六切サイズ"), 10.2, 12.7}, {QStringLiteral("六切サイズ"), 25.4, 20.3},
        {QStringLiteral("四切サイズ"), 30.5, 25.4},   {QStringLiteral("大四サイズ"), 35.6, 28},
        {QStringLiteral("大角サイズ"), 35.6, 35.6},   {QStringLiteral("半切サイズ"), 43.2, 35.6},
    };
    return presets;
}

QString otherFieldSizeName() {
    return QStringLiteral("その他");
}

QStringList fieldSizeListEntries() {
    QStringList entries;
    for (const FieldSizePreset& p : fieldSizePresets())
        entries << p.name;
    entries << otherFieldSizeName();
    return entries;
}

std::optional<FieldSizePreset> findFieldSizePreset(const QString& name) {
    for (const FieldSizePreset& p : fieldSizePresets())
        if (p.name == name)
            return p;
    return std::nullopt;
}

} // namespace tamso::ui
