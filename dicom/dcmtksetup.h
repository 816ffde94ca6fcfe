#pragma once
// Inside the dicom folder only: what every use of DCMTK here needs first.

#include "textio/expected.h"

namespace tamso::dicom::detail {

// Quietens DCMTK's own log (its warnings would go to the standard error of the program; every
// failure is reported through Status instead) and checks that its data dictionary is loaded, without
// which the attributes of an image in implicit VR cannot be told apart. Cheap after the first call.
Status prepareDcmtk();

} // namespace tamso::dicom::detail
