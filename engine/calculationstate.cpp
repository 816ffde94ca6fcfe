#include "engine/calculationstate.h"

namespace tamso::engine {

CalculationState Module1;

} // namespace tamso::engine
