#include "energyloss/CalculationErrors.h"

std::string calculationErrorText(int code, const std::string& context) {
    switch (code) {
        case 1:
            return "Error in " + context + " calculation: negative beam energy.";
        case 2:
            return "Error in " + context + " calculation - beam energy steps are in the wrong direction.";
        case 3:
            return "Error in " + context + " calculation - beam fully stopped.";
        case 5:
            return " \n\nError - Stopping power table for the selected nuclide not found.\n\n"
                   "Use Set Options to switch to legacy calculations and try again.";
        case 7:
            return "Error - unable to open DoLegacyCalculations.dat";
        default:
            return "";
    }
}

std::string coefficientLoadText(const CoefficientLoad& load) {
    if (load.ok()) return "";
    if (!load.missing) return "Error reading file " + load.file + ": " + load.reason;
    return "Error opening file " + load.file +
           " - the stopping powers cannot be computed without it.\nCopy the stopping-power coefficient files "
           "(scoef.95a, scoef.95b, scoefgas.95) into the working folder.";
}
