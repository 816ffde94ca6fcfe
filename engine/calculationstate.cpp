#include "engine/calculationstate.h"

namespace tamso {

CalculationState Module1;

} // namespace tamso
