#pragma once

#include <map>
#include <string>

#include "support/WorkFolder.h"

// The files of a station working folder for the start-up tests: a complete,
// valid set by default; a test changes or erases entries before install().
struct Site {
    Site();
    std::map<std::string, std::string> files;

    void set(const std::string& name, const std::string& content) { files[name] = content; }
    void erase(const std::string& name) { files.erase(name); }
    void install(const WorkFolder& folder) const;
};

// A setup table with the given unit words and simple calibrations: axis i has
// limits -100000..100000, nudge step 100*(i+1), offset i, scale 1000 (S: 1000,
// R: 100), jog velocity 500*(i+1).
std::string setupTableText();
