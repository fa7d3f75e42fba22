#pragma once

// The two cyclotrons that can feed the station, by the code that
// "CyclotronInUse.dat" holds (any code other than Belm's reads as Ardo).
// What differs between them follows from the code here.
inline constexpr int kCyclotronBelm = 150;
inline constexpr int kCyclotronArdo = 500;

// Degrader foils on the beam line: 6 on Belm, 10 on Ardo.
constexpr int foilCountOf(int cyclotronCode) { return cyclotronCode == kCyclotronBelm ? 6 : 10; }
// The name in the setup table's file name ("AirBelm.dat", "VacArdo.dat").
constexpr const char* cyclotronName(int cyclotronCode) { return cyclotronCode == kCyclotronBelm ? "Belm" : "Ardo"; }
