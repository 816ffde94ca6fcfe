#include "ui/conditions/exposureinputs.h"

#include <QCoreApplication>
#include <cstring>

namespace tamso::ui {

using engine::CalculationState;
using engine::ConditionTexts;
using engine::ResultField;

namespace {
// The tables keep the Japanese source texts; shownText translates them where they are shown.
QString tableText(const char* source) {
    return QString::fromUtf8(source);
}
} // namespace

QString shownText(const QString& source) {
    return QCoreApplication::translate("ExposureInputs", source.toUtf8().constData());
}

const std::vector<ExposureInput>& exposureInputs() {
    static const std::vector<ExposureInput> inputs = {
        {"Text1", tableText(QT_TRANSLATE_NOOP("ExposureInputs", " Ｘ線管ターゲット角度")),
         tableText(QT_TRANSLATE_NOOP("ExposureInputs", "　度")), ConditionGroup::Unit, 1,
         &ConditionTexts::targetAngleDeg, &CalculationState::targetAngleDeg, 1, "Text2"},
        {"Text2", tableText(QT_TRANSLATE_NOOP("ExposureInputs", " 固有フィルタ（アルミ当量）")),
         QStringLiteral("mm"), ConditionGroup::Unit, 2, &ConditionTexts::inherentFilterAlMm,
         &CalculationState::inherentFilterAlCm, 0.1, "Text3"},
        {"Text3", tableText(QT_TRANSLATE_NOOP("ExposureInputs", " 付加フィルタ（アルミ）")),
         QStringLiteral("mm"), ConditionGroup::Unit, 3, &ConditionTexts::addedFilterAlMm,
         &CalculationState::addedFilterAlCm, 0.1, "Text4"},
        {"Text4", tableText(QT_TRANSLATE_NOOP("ExposureInputs", " 付加フィルタ　（ 銅 ）")),
         QStringLiteral("mm"), ConditionGroup::Unit, 4, &ConditionTexts::addedFilterCuMm,
         &CalculationState::addedFilterCuCm, 0.1, "Combo2"},
        {"Text5", tableText(QT_TRANSLATE_NOOP("ExposureInputs", "　 Ｘ線管電圧")), QStringLiteral("kV"),
         ConditionGroup::Geometry, 1, &ConditionTexts::tubeVoltageKv, &CalculationState::tubeVoltageKv, 1,
         "Text6"},
        {"Text6", tableText(QT_TRANSLATE_NOOP("ExposureInputs", "   Ｘ線管電流×照射時間")),
         QStringLiteral("mAs"), ConditionGroup::Geometry, 2, &ConditionTexts::mAs, &CalculationState::mAs, 1,
         "Text8"},
        {"Text8", tableText(QT_TRANSLATE_NOOP("ExposureInputs", " 焦点-受像器間距離（FFD）")),
         QStringLiteral("cm"), ConditionGroup::Geometry, 3, &ConditionTexts::ffdCm, &CalculationState::ffdCm,
         1, "Text23"},
        {"Text23", tableText(QT_TRANSLATE_NOOP("ExposureInputs", "　 被写体厚")), QStringLiteral("cm"),
         ConditionGroup::Geometry, 4, &ConditionTexts::subjectThicknessCm,
         &CalculationState::subjectThicknessCm, 1, "Text9"},
        // The focus-hood distance is read by the run only; the state keeps the hood-skin distance.
        {"Text9", tableText(QT_TRANSLATE_NOOP("ExposureInputs", " 焦点-フード・カバー間距離")),
         QStringLiteral("cm"), ConditionGroup::Geometry, 5, &ConditionTexts::focusHoodDistanceCm, nullptr, 1,
         "Combo1"},
        {"Text10", tableText(QT_TRANSLATE_NOOP("ExposureInputs", " 照射野サイズ（長軸方向）")),
         QStringLiteral("cm"), ConditionGroup::Geometry, 7, &ConditionTexts::fieldLongCm,
         &CalculationState::fieldLongCm, 1, "Text11"},
        {"Text11", tableText(QT_TRANSLATE_NOOP("ExposureInputs", " 照射野サイズ（単軸方向）")),
         QStringLiteral("cm"), ConditionGroup::Geometry, 8, &ConditionTexts::fieldShortCm,
         &CalculationState::fieldShortCm, 1, "Command2"},
    };
    return inputs;
}

const ExposureInput* findExposureInput(const char* objectName) {
    for (const ExposureInput& input : exposureInputs())
        if (std::strcmp(input.objectName, objectName) == 0)
            return &input;
    return nullptr;
}

const std::vector<ResultOutput>& resultOutputs() {
    static const std::vector<ResultOutput> outputs = {
        {ResultField::MeasuredExposureCkg, "Text19", tableText(QT_TRANSLATE_NOOP("ExposureInputs", "実測値")),
         QString(), ConditionGroup::ExposureSource, 2, false},
        {ResultField::ExposureAt1mCkg, "Text12",
         tableText(QT_TRANSLATE_NOOP("ExposureInputs", "フード・カバー透過後")), QString(),
         ConditionGroup::ExposureSource, 4, false},
        {ResultField::ExposureWithScatterCkg, "Text7",
         tableText(QT_TRANSLATE_NOOP("ExposureInputs", "散乱線を付加")), QString(),
         ConditionGroup::ExposureSource, 5, false},
        {ResultField::Hvl1MmAl, "Text13", tableText(QT_TRANSLATE_NOOP("ExposureInputs", "　  第１半価層")),
         QStringLiteral("mmAl"), ConditionGroup::Results, 0, false},
        {ResultField::QuarterValueLayerMmAl, "Text14",
         tableText(QT_TRANSLATE_NOOP("ExposureInputs", "     第２半価層")), QStringLiteral("mmAl"),
         ConditionGroup::Results, 1, false},
        {ResultField::EffectiveEnergyKev, "Text15",
         tableText(QT_TRANSLATE_NOOP("ExposureInputs", "　  実効エネルギー")), QStringLiteral("keV"),
         ConditionGroup::Results, 2, false},
        {ResultField::QualityIndex, "Text16",
         tableText(QT_TRANSLATE_NOOP("ExposureInputs", "　  線質指標 （ QI )")), QStringLiteral("―"),
         ConditionGroup::Results, 3, false},
        {ResultField::BackscatterFactor, "Text17",
         tableText(QT_TRANSLATE_NOOP("ExposureInputs", "   後方散乱係数")), QStringLiteral("―"),
         ConditionGroup::Results, 4, true},
        {ResultField::DoseConversionFactor, "Text18",
         tableText(QT_TRANSLATE_NOOP("ExposureInputs", "   吸収線量変換係数")), QStringLiteral("Gy/C/kg"),
         ConditionGroup::Results, 5, true},
        {ResultField::EntranceSurfaceDoseMGy, "Text20",
         tableText(QT_TRANSLATE_NOOP("ExposureInputs", "   入射表面線量")), QStringLiteral(" mGy"),
         ConditionGroup::Results, 6, true},
        // The dose with its expanded uncertainty, "0.203 ± 0.046 mGy (k=2)".
        {ResultField::EntranceSurfaceDoseUncertaintyMGy, "Text26",
         tableText(QT_TRANSLATE_NOOP("ExposureInputs", "   不確かさ")), QString(), ConditionGroup::Results, 7,
         true, 2},
        {ResultField::CaregiverDose1USv, "Text21", QStringLiteral("1"), QString(), ConditionGroup::Caregivers,
         3, true},
        {ResultField::CaregiverDose2USv, "Text22", QStringLiteral("2"), QString(), ConditionGroup::Caregivers,
         4, true},
        {ResultField::CaregiverDose3USv, "Text25", QStringLiteral("3"), QString(), ConditionGroup::Caregivers,
         5, true},
    };
    return outputs;
}

const char* resultObjectName(ResultField result) {
    for (const ResultOutput& output : resultOutputs())
        if (output.result == result)
            return output.objectName;
    return "";
}

} // namespace tamso::ui
