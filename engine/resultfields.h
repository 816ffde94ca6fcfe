#pragma once
// Where the dose routines put their displayed results: one text per result field of the
// exposure-condition screen, named after the field. The screen implements this interface;
// ResultTexts keeps the texts in memory for the command-line calculator and the tests.

#include <map>
#include <string>

namespace tamso::engine {

enum class ResultField {
    Text7,  // exposure at 1 m with the hood/cover scatter, "0.00E+00"
    Text12, // exposure at 1 m behind the hood/cover, "0.00E+00"
    Text13, // first half-value layer, mm Al, "#0.000"
    Text14, // thickness to 25 % ("second half-value layer"), mm Al, "#0.000"
    Text15, // effective energy, keV, "#00.00"
    Text16, // quality index, "#0.000"
    Text17, // backscatter factor, "#0.000"
    Text18, // absorbed-dose conversion factor, Gy per C/kg, "#00.00"
    Text19, // measured exposure at 1 m, C/kg, "0.00E+0" (read by the tube output stage)
    Text20, // entrance surface dose, mGy, "#0.000"
    Text21, // caregiver dose, position 1, μSv, "#0.000"
    Text22, // caregiver dose, position 2
    Text25, // caregiver dose, position 3
};

// "Text13" for ResultField::Text13.
const char* resultFieldName(ResultField field);

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
