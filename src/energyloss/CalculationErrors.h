#pragma once

#include <string>

class Ui;

// The operator's message for a non-zero result code of traverseLayer, or an
// empty text for 0 and for codes traverseLayer never returns. `context` names
// the calculation ("Al degrader", "<layer name> layer", "<layer name> range").
std::string calculationErrorText(int code, const std::string& context);

// Shows calculationErrorText in a modal box (caption "Tarvex", error icon, one
// OK button) and returns when the operator has closed it; shows nothing for 0.
void reportCalculationError(Ui& ui, int code, const std::string& context);

// The operator's message when a stopping-power coefficient file (`file`, as
// loadStoppingCoefficients names it) could not be opened.
std::string missingCoefficientsText(const std::string& file);
