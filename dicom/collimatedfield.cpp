#include "dicom/headervalues.h"

#include "textio/numbertext.h"

#include <dcmtk/dcmdata/dcdeftag.h>

#include <algorithm>
#include <cmath>

namespace tamso::dicom::detail {

Sourced<FieldSizeCm> readCollimatedField(DcmItem& item) {
    Sourced<FieldSizeCm> field;
    std::string problem;
    const auto shape = rawValue(item, DCM_CollimatorShape, "CollimatorShape (0018,1700)", &problem);
    if (!shape) {
        field.problem = problem.empty() ? "CollimatorShape (0018,1700) がありません" : problem;
        return field;
    }
    const std::vector<std::string> shapes = splitValues(*shape);
    if (std::find(shapes.begin(), shapes.end(), "RECTANGULAR") == shapes.end()) {
        field.problem = "CollimatorShape (0018,1700) が RECTANGULAR ではありません（" + *shape + "）";
        return field;
    }
    struct Edge {
        DcmTagKey key;
        const char* name;
    };
    const Edge edges[] = {{DCM_CollimatorLeftVerticalEdge, "CollimatorLeftVerticalEdge (0018,1702)"},
                          {DCM_CollimatorRightVerticalEdge, "CollimatorRightVerticalEdge (0018,1704)"},
                          {DCM_CollimatorUpperHorizontalEdge, "CollimatorUpperHorizontalEdge (0018,1706)"},
                          {DCM_CollimatorLowerHorizontalEdge, "CollimatorLowerHorizontalEdge (0018,1708)"}};
    const std::string rectangular = "CollimatorShape (0018,1700) は RECTANGULAR ですが、";
    double at[4] = {};
    for (int k = 0; k < 4; ++k) {
        const auto raw = rawValue(item, edges[k].key, edges[k].name, &problem);
        const auto value =
            raw && raw->find('\\') == std::string::npos ? textio::parseNumber(*raw) : std::nullopt;
        if (!value) {
            field.problem =
                rectangular + (!problem.empty() ? problem
                               : raw ? std::string(edges[k].name) + " の値 '" + *raw + "' は使えません"
                                     : std::string(edges[k].name) + " がありません");
            return field;
        }
        at[k] = *value;
    }
    const auto spacing = rawValue(item, DCM_ImagerPixelSpacing, "ImagerPixelSpacing (0018,1164)", &problem);
    const std::vector<std::string> spacings = spacing ? splitValues(*spacing) : std::vector<std::string>();
    const auto rowSpacing = spacings.size() == 2 ? textio::parseNumber(spacings[0]) : std::nullopt;
    const auto columnSpacing = spacings.size() == 2 ? textio::parseNumber(spacings[1]) : std::nullopt;
    if (!rowSpacing || !columnSpacing || !(*rowSpacing > 0) || !(*columnSpacing > 0)) {
        field.problem =
            rectangular + (!problem.empty() ? problem
                           : spacing ? "ImagerPixelSpacing (0018,1164) の値 '" + *spacing + "' は使えません"
                                     : "ImagerPixelSpacing (0018,1164) がありません");
        return field;
    }
    const double widthMm = (at[1] - at[0]) * *columnSpacing;
    const double heightMm = (at[3] - at[2]) * *rowSpacing;
    const double longMm = std::max(widthMm, heightMm);
    const double shortMm = std::min(widthMm, heightMm);
    if (!(shortMm >= 10 * kMinImageFieldCm && longMm <= 10 * kMaxImageFieldCm)) {
        field.problem = rectangular + "縁 (0018,1702〜1708) と ImagerPixelSpacing (0018,1164) からの照射野 " +
                        shortNumber(widthMm / 10) + " × " + shortNumber(heightMm / 10) +
                        " cm は使える範囲（各辺 " + shortNumber(kMinImageFieldCm) + " cm 以上 " +
                        shortNumber(kMaxImageFieldCm) + " cm 以下）の外です";
        return field;
    }
    auto tenthCm = [](double mm) { return std::round(mm) / 10; };
    field.value = FieldSizeCm{tenthCm(longMm), tenthCm(shortMm)};
    field.source = "Collimator (0018,1700-1708) x ImagerPixelSpacing (0018,1164)";
    return field;
}

} // namespace tamso::dicom::detail
