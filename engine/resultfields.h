#pragma once
// Where the dose routines put their displayed results: one text per result, in the format the
// user reads it. The exposure-condition screen implements this interface with its result fields;
// ResultTexts keeps the texts in memory for the command-line calculator and the tests.

#include <map>
#include <string>

namespace tamso::engine {

enum class ResultField {
    ExposureWithScatterCkg, // exposure at 1 m with the hood/cover scatter, C/kg, "0.00E+00"
    ExposureAt1mCkg,        // exposure at 1 m behind the hood/cover, C/kg, "0.00E+00"
    Hvl1MmAl,               // first half-value layer, mm Al, "#0.000"
    QuarterValueLayerMmAl,  // thickness to 25 % ("second half-value layer"), mm Al, "#0.000"
    EffectiveEnergyKev,     // effective energy, keV, "#00.00"
    QualityIndex,           // quality index, "#0.000"
    BackscatterFactor,      // backscatter factor, "#0.000"
    DoseConversionFactor,   // absorbed-dose conversion factor, Gy per C/kg, "#00.00"
    MeasuredExposureCkg,    // measured exposure at 1 m, C/kg, "0.00E+0" (read by the tube output stage)
    EntranceSurfaceDoseMGy, // entrance surface dose, mGy, "#0.000"
    EntranceSurfaceDoseUncertaintyMGy, // its expanded uncertainty (k = 2), mGy, two significant figures
    CaregiverDose1USv,                 // caregiver dose, position 1, μSv, "#0.000"
    CaregiverDose2USv,                 // caregiver dose, position 2
    CaregiverDose3USv,                 // caregiver dose, position 3
};

class ResultFields {
public:
    virtual ~ResultFields() = default;
    virtual void setResultText(ResultField field, const std::string& utf8Text) = 0;
    virtual std::string resultText(ResultField field) const = 0;
};

class ResultTexts : public ResultFields {
public:
    void setResultText(ResultField field, const std::string& utf8Text) override { texts_[field] = utf8Text; }
    std::string resultText(ResultField field) const override {
        auto it = texts_.find(field);
        return it == texts_.end() ? std::string() : it->second;
    }

private:
    std::map<ResultField, std::string> texts_;
};

} // namespace tamso::engine
