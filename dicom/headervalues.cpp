#include "dicom/headervalues.h"

#include "engine/organdose.h"

#include "dicom/dicomtext.h"
#include "textio/filenames.h"
#include "textio/numbertext.h"

#include <dcmtk/dcmdata/dcdeftag.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace tamso::dicom::detail {

namespace {

// A value outside its range as a message shows it: six significant digits (1e+08), or where they
// would read as a value inside the range (1000.001 as 1000 beside a limit of 1000) every digit, to
// 15 significant ones, so that the message reads as the reason it is.
std::string outsideRangeNumber(double value, double low, double high, bool highExcluded) {
    const std::string shown = shortNumber(value);
    const double read = std::strtod(shown.c_str(), nullptr);
    const bool readsInside = read >= low && (highExcluded ? read < high : read <= high);
    return readsInside && std::fabs(value) < 1e15 ? textio::numberToText(value) : shown;
}

// One numeric attribute: a string (DS, IS) or a binary double (FD), in its own unit; divided by
// `per` it is in the unit of the quantity (1000 µAs per mAs, 10 mm per cm).
struct NumberAttribute {
    DcmTagKey key;
    const char* name; // "ExposureInuAs (0018,1153)"
    bool binary;      // FD
    double per = 1;
};

// What an attribute gave: nothing (absent or empty), a number above 0, a value that is no such
// number (the next attribute may serve), or several values (the quantity is refused: which one
// would be meant cannot be told).
struct AttributeNumber {
    enum class State { Absent, Usable, Unusable, SeveralValues } state = State::Absent;
    double value = 0; // in the quantity's unit
    const char* name = "";
    std::string problem;
};

AttributeNumber readNumber(DcmItem& item, const NumberAttribute& attribute) {
    AttributeNumber n;
    n.name = attribute.name;
    auto unusable = [&](const std::string& shown) {
        n.state = AttributeNumber::State::Unusable;
        n.problem = std::string(attribute.name) + " の値 " + shown + " は使えません";
        return n;
    };
    auto several = [&](const std::string& shown, unsigned long count) {
        n.state = AttributeNumber::State::SeveralValues;
        n.problem = std::string(attribute.name) + " に値が " + std::to_string(count) + " つあります（" +
                    shown + "）: どれの値か分からないため使いません";
        return n;
    };
    std::string tooLong;
    if (attribute.binary) {
        DcmElement* element = loadedElement(item, attribute.key, attribute.name, &tooLong);
        if (!tooLong.empty()) {
            n.state = AttributeNumber::State::Unusable;
            n.problem = tooLong;
            return n;
        }
        if (!element || element->getVM() == 0)
            return n;
        Float64 value = 0;
        if (element->getFloat64(value, 0).bad())
            return unusable("（読めません）");
        if (element->getVM() > 1) {
            std::string shown;
            for (unsigned long k = 0; k < element->getVM(); ++k) {
                Float64 v = 0;
                element->getFloat64(v, k);
                shown += (k ? "\\" : "") + shortNumber(v);
            }
            return several(shown, element->getVM());
        }
        if (!(std::isfinite(value) && value > 0))
            return unusable(shortNumber(value));
        n.state = AttributeNumber::State::Usable;
        n.value = value / attribute.per;
        return n;
    }
    const auto raw = rawValue(item, attribute.key, attribute.name, &tooLong);
    if (!tooLong.empty()) {
        n.state = AttributeNumber::State::Unusable;
        n.problem = tooLong;
        return n;
    }
    if (!raw)
        return n;
    if (raw->find('\\') != std::string::npos)
        return several("'" + *raw + "'",
                       static_cast<unsigned long>(std::count(raw->begin(), raw->end(), '\\') + 1));
    const auto value = textio::parseNumber(*raw);
    if (!value || !(*value > 0))
        return unusable("'" + *raw + "'");
    n.state = AttributeNumber::State::Usable;
    n.value = *value / attribute.per;
    return n;
}

// The first of the attributes that holds a usable number; where one holds several values the
// search stops there. The problems of the attributes passed over are collected.
AttributeNumber firstNumber(DcmItem& item, std::initializer_list<NumberAttribute> attributes,
                            std::vector<std::string>& problems) {
    for (const NumberAttribute& attribute : attributes) {
        AttributeNumber n = readNumber(item, attribute);
        if (n.state == AttributeNumber::State::Usable || n.state == AttributeNumber::State::SeveralValues)
            return n;
        if (n.state == AttributeNumber::State::Unusable)
            problems.push_back(n.problem);
    }
    return {};
}

// A quantity found in the header, kept where it lies in [low, high] (below high only where
// highExcluded); the problem names the range otherwise.
Sourced<double> withinRange(double value, const std::string& source, const char* unit, double low,
                            double high, bool highExcluded = false) {
    Sourced<double> quantity;
    if (value >= low && (highExcluded ? value < high : value <= high)) {
        quantity.value = value;
        quantity.source = source;
    } else {
        quantity.problem = source + " の " + outsideRangeNumber(value, low, high, highExcluded) + " " + unit +
                           " は使える範囲（" +
                           shortNumber(low) + " " + unit + " 以上 " + shortNumber(high) + " " + unit +
                           (highExcluded ? " 未満" : " 以下") + "）の外です";
    }
    return quantity;
}

// One quantity from the first usable of its attributes, checked against its range.
Sourced<double> readQuantity(DcmItem& item, std::initializer_list<NumberAttribute> attributes,
                             const char* unit, double low, double high, bool highExcluded,
                             const std::string& absent) {
    std::vector<std::string> problems;
    const AttributeNumber n = firstNumber(item, attributes, problems);
    if (n.state == AttributeNumber::State::Usable)
        return withinRange(n.value, n.name, unit, low, high, highExcluded);
    Sourced<double> quantity;
    quantity.problem =
        n.state == AttributeNumber::State::SeveralValues ? n.problem : missingProblem(problems, absent);
    return quantity;
}

} // namespace

std::string fileLabel(const fs::path& file) {
    return textio::fileNameUtf8(file);
}

// A number as a message shows it: six significant digits (60, 1.6, 1e+08).
std::string shortNumber(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.6g", value);
    return text;
}

std::string joined(const std::vector<std::string>& parts, const char* separator) {
    std::string text;
    for (const std::string& part : parts)
        text += (text.empty() ? "" : separator) + part;
    return text;
}

// The problem of a missing value: what was wrong with the values present, else what is absent.
std::string missingProblem(const std::vector<std::string>& problems, const std::string& absent) {
    return problems.empty() ? absent + " がありません" : joined(problems, "、");
}

DcmElement* loadedElement(DcmItem& item, const DcmTagKey& key, const char* name, std::string* problem) {
    DcmElement* element = nullptr;
    if (item.findAndGetElement(key, element).bad() || !element)
        return nullptr;
    if (element->getLengthField() > kMaxReadLength) {
        if (problem)
            *problem = std::string(name) + " の値が長すぎます（" + std::to_string(element->getLengthField()) +
                       " バイト）";
        return nullptr;
    }
    return element;
}

std::optional<std::string> rawValue(DcmItem& item, const DcmTagKey& key, const char* name,
                                    std::string* problem) {
    DcmElement* element = loadedElement(item, key, name, problem);
    OFString value;
    if (!element || element->getOFStringArray(value).bad())
        return std::nullopt;
    std::string trimmed = trimValue(std::string_view(value.c_str(), value.length()));
    if (trimmed.empty())
        return std::nullopt;
    return trimmed;
}

std::vector<std::string> splitValues(const std::string& raw) {
    std::vector<std::string> values;
    size_t start = 0;
    while (true) {
        const size_t end = raw.find('\\', start);
        values.push_back(trimValue(std::string_view(raw).substr(start, end - start)));
        if (end == std::string::npos)
            return values;
        start = end + 1;
    }
}

Sourced<double> readTubeVoltage(DcmItem& item) {
    return readQuantity(item, {{DCM_KVP, "KVP (0018,0060)", false}}, "kV", kMinImageKv, kMaxImageKv, true,
                        "KVP (0018,0060)");
}

Sourced<double> readMAs(DcmItem& item) {
    auto inRange = [](double value, const std::string& source) {
        return withinRange(value, source, "mAs", kMinImageMAs, kMaxImageMAs);
    };
    auto refused = [](const std::string& problem) {
        Sourced<double> none;
        none.problem = problem;
        return none;
    };
    using State = AttributeNumber::State;
    std::vector<std::string> problems;
    const AttributeNumber fine = firstNumber(item,
                                             {{DCM_ExposureInuAs, "ExposureInuAs (0018,1153)", false, 1000},
                                              {DCM_ExposureInmAs, "ExposureInmAs (0018,9332)", true}},
                                             problems);
    if (fine.state == State::SeveralValues)
        return refused(fine.problem);
    if (fine.state == State::Usable)
        return inRange(fine.value, fine.name);

    const AttributeNumber current =
        firstNumber(item,
                    {{DCM_XRayTubeCurrentInuA, "XRayTubeCurrentInuA (0018,8151)", false, 1000},
                     {DCM_XRayTubeCurrentInmA, "XRayTubeCurrentInmA (0018,9330)", true},
                     {DCM_XRayTubeCurrent, "XRayTubeCurrent (0018,1151)", false}},
                    problems);
    const AttributeNumber time =
        firstNumber(item,
                    {{DCM_ExposureTimeInuS, "ExposureTimeInuS (0018,8150)", false, 1000},
                     {DCM_ExposureTimeInms, "ExposureTimeInms (0018,9328)", true},
                     {DCM_ExposureTime, "ExposureTime (0018,1150)", false}},
                    problems);
    for (const AttributeNumber* n : {&current, &time})
        if (n->state == State::SeveralValues)
            return refused(n->problem);
    std::optional<double> product;
    std::string productSource;
    if (current.state == State::Usable && time.state == State::Usable) {
        product = current.value * time.value / 1000;
        productSource = std::string(current.name) + " x " + time.name;
    }
    const AttributeNumber whole =
        firstNumber(item, {{DCM_Exposure, "Exposure (0018,1152)", false}}, problems);
    if (whole.state == State::SeveralValues)
        return refused(whole.problem);
    if (product && whole.state == State::Usable && !(std::fabs(*product - whole.value) <= 0.5))
        return refused(productSource + " の " + shortNumber(*product) + " mAs と Exposure (0018,1152) の " +
                       shortNumber(whole.value) + " mAs が合いません（整数の mAs に丸めて一致しません）");
    if (product)
        return inRange(*product, productSource);
    if (whole.state == State::Usable)
        return inRange(whole.value, whole.name);
    return refused(missingProblem(problems, "ExposureInuAs (0018,1153)、Exposure (0018,1152)、"
                                            "XRayTubeCurrent (0018,1151) と ExposureTime (0018,1150)"));
}

Sourced<double> readFfd(DcmItem& item) {
    return readQuantity(item,
                        {{DCM_DistanceSourceToDetector, "DistanceSourceToDetector (0018,1110)", false, 10}},
                        "cm", kMinImageFfdCm, kMaxImageFfdCm, false, "DistanceSourceToDetector (0018,1110)");
}

Sourced<double> readThickness(DcmItem& item) {
    return readQuantity(item, {{DCM_BodyPartThickness, "BodyPartThickness (0018,11A0)", false, 10}}, "cm",
                        kMinImageThicknessCm, kMaxImageThicknessCm, false, "BodyPartThickness (0018,11A0)");
}

Sourced<double> readWeight(DcmItem& item) {
    return readQuantity(item, {{DCM_PatientWeight, "PatientWeight (0010,1030)", false}}, "kg", engine::kMinWeightKg,
                        engine::kMaxWeightKg, false, "PatientWeight (0010,1030)");
}

} // namespace tamso::dicom::detail
