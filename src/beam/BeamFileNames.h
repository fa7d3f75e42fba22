#pragma once

// Beam files shared with the parent program.
inline constexpr const char* kBeamNameTmp = "CurrentBeamName.tmp";
inline constexpr const char* kBeamNameDat = "CurrentBeamName.dat";
inline constexpr const char* kBeamIonTmp = "CurrentBeamNZAMeV.tmp";
inline constexpr const char* kBeamIonDat = "CurrentBeamNZAMeV.dat";
inline constexpr const char* kBeamResultsTmp = "CurrentBeamDELReB.tmp";
inline constexpr const char* kBeamResultsDat = "CurrentBeamDELReB.dat";
inline constexpr const char* kLayerSummaryFile = "LayerSummary.dat";
inline constexpr const char* kLayerFileNameFile = "CurrentLayerFileName.dat";
inline constexpr const char* kLayersReversedFile = "CurrentLayersReversed.dat";
inline constexpr const char* kRangeTableFile = "RangeTable.txt";
