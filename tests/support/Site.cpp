#include "support/Site.h"

std::string setupTableText() {
    return "mm mm mm deg mm mm deg foil\n"
           "-100000 100000 100 0 1000\n"
           "-100000 100000 200 1 1000\n"
           "-100000 100000 300 2 1000\n"
           "-36000 36000 400 3 100\n"
           "0 50000 500 4 1000\n"
           "0 50000 600 5 1000\n"
           "-9000 9000 700 6 100\n"
           "0 10000 800 7 1000\n"
           "500 0 1000 0 1500 0 2000 0 2500 0 3000 0 3500 0 4000 0\n";
}

Site::Site() {
    files = {
        {"CyclotronInUse.dat", "500\n"},
        {"SkipInfoMessages.dat", "0\n"},
        {"DemoStatus.dat", "3\n"},
        {"CurrentLogFileName.dat", "run.log\n"},
        {"Options.dat", "Options 1 2 3.0 4 5.0 6 7.0 8 9.0 10 11.0 12 0.05 2.5 3.5\n"},
        {"TargetLocation.dat", "1\n"},
        {"VacArdo.dat", setupTableText()},
        {"AirArdo.dat", setupTableText()},
        {"VacBelm.dat", setupTableText()},
        {"AirBelm.dat", setupTableText()},
        {"TarvexStatus.dat", "Park\n1\n1000   2000   3000   4000   5000   6000   7000   8000\n0   0   0   1   0   0   0   0\n"},
        {"CurrentBeamName.dat", "Kr 10 MeV/u\n"},
        {"CurrentBeamNZAMeV.dat", "4 36 84 840\n"},
        {"CurrentBeamDELReB.dat", "4   50.8   700.5   35.25   60.04   780.1   150.5\n"},
        {"LayerSummary.dat", "silicon FIX\nline one\nline two\n"},
        {"CurrentLayerFileName.dat", "Device.lay\n"},
        {"CurrentBeamName.tmp", "Kr 10 MeV/u\n"},
        {"CurrentBeamNZAMeV.tmp", "4 36 84 840\n"},
        {"CurrentLayersReversed.dat", "silicon\n2.33 1 1\n14 28.086 0 1.0\n0 0 0\n\n"},
        {"Device.lay", "silicon\n2.33 1 1\n14 28.086 0 1.0\n0 0 0\n\n"},
        {"DoLegacyCalculations.dat", "1\n"},
    };
}

void Site::install(const WorkFolder& folder) const {
    for (const auto& [name, content] : files) folder.write(name, content);
    for (const char* name : {"scoef.95a", "scoef.95b", "scoefgas.95"}) {
        std::filesystem::copy_file(std::filesystem::path(stoppingDataFolder()) / name, folder.path() / name,
                                   std::filesystem::copy_options::overwrite_existing);
    }
}
