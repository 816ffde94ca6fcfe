#include "engine/resultfields.h"

namespace tamso::engine {

const char* resultFieldName(ResultField field) {
    switch (field) {
    case ResultField::Text7: return "Text7";
    case ResultField::Text12: return "Text12";
    case ResultField::Text13: return "Text13";
    case ResultField::Text14: return "Text14";
    case ResultField::Text15: return "Text15";
    case ResultField::Text16: return "Text16";
    case ResultField::Text17: return "Text17";
    case ResultField::Text18: return "Text18";
    case ResultField::Text19: return "Text19";
    case ResultField::Text20: return "Text20";
    case ResultField::Text21: return "Text21";
    case ResultField::Text22: return "Text22";
    case ResultField::Text25: return "Text25";
    }
    return "";
}

} // namespace tamso::engine
