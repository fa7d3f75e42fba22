#pragma once

// The ions of the station's cyclotron cocktail, as solve and runs
// --cross-section --suggest read them.

#include <string>
#include <vector>

#include "beam/BeamSolve.h"

struct StationFolder;

// The station file of the cyclotron's cocktail: "CocktailArdo.dat" or "CocktailBelm.dat".
std::string cocktailFileName(int cyclotronCode);

// The cocktail file's ions: "ION MEVU [MASS]" a line, "#" comments; a
// malformed line is named on stderr and skipped. None without the file.
std::vector<SolveIon> readCocktail(const std::string& file);

// The cocktail of the station folder's cyclotron, read from the current folder.
std::vector<SolveIon> stationCocktail(const StationFolder& station);
