#include "ui/conditions/fieldsizepresets.h"

#include "records/exposurerecord.h"
#include "ui/kit/uiutil.h"

namespace tamso::ui {

const QVector<FieldSizePreset>& fieldSizePresets() {
    // The sizes the records name (records/exposurerecord.h).
    static const QVector<FieldSizePreset> presets = [] {
        QVector<FieldSizePreset> list;
        for (const records::FieldSizePreset& p : records::fieldSizePresets())
            list.push_back({qs(p.name), p.longCm, p.shortCm});
        return list;
    }();
    return presets;
}

QString otherFieldSizeName() {
    return qs(records::kOtherFieldSizeName);
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
