#pragma once

#include <string>

#include "energyloss/StoppingCoefficients.h"

// The operator's message for a non-zero result code of traverseLayer, or an
// empty text for 0 and for codes traverseLayer never returns. `context` names
// the calculation ("Al degrader", "<layer name> layer", "<layer name> range").
std::string calculationErrorText(int code, const std::string& context);

// The operator's message for a coefficient load that failed (every caller of
// loadStoppingCoefficients says it in these words): "Error opening file <name>
// - ..." for a file that could not be opened, "Error reading file <name>:
// <reason>" for one that is short or malformed; "" for a load that is ok.
std::string coefficientLoadText(const CoefficientLoad& load);
