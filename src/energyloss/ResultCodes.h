#pragma once

// Result codes of traverseLayer and prepareLayerStopping (0 = success); the
// operator's messages for them come from calculationErrorText.
inline constexpr int kResultDone = 0;
inline constexpr int kResultNegativeEnergy = 1;     // start energy below zero
inline constexpr int kResultWrongDirection = 2;     // goal on the side the traversal cannot reach
inline constexpr int kResultZeroEnergy = 3;         // start energy zero: beam fully stopped
inline constexpr int kResultTableMissing = 5;       // per-ion stopping table cannot be opened (or is short)
inline constexpr int kResultModeFileMissing = 7;    // "DoLegacyCalculations.dat" cannot be opened
