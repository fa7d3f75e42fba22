#pragma once

#include <string>

// The operator's message for a non-zero result code of traverseLayer, or an
// empty text for 0 and for codes traverseLayer never returns. `context` names
// the calculation ("Al degrader", "<layer name> layer", "<layer name> range").
std::string calculationErrorText(int code, const std::string& context);

// The operator's message when a stopping-power coefficient file (`file`, as
// loadStoppingCoefficients names it) could not be opened.
std::string missingCoefficientsText(const std::string& file);
