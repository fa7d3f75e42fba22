#pragma once

// Site options from "Options.dat". The file carries a seven-character label
// and fifteen numbers; the console uses the last three.
struct Options {
    double foilTolerance = 0.1;   // foil numbers: largest deviation of S from a whole foil
    double slitToleranceU = 0;    // user units of U: smallest accepted horizontal aperture
    double slitToleranceV = 0;    // user units of V: smallest accepted vertical aperture
};
