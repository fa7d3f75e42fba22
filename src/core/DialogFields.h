#pragma once

#include <array>
#include <string>

// One field per data control of the main dialog. The logic works on these
// fields; Ui::transferToControls / transferFromControls copy them to and from
// the controls in one step. Axis arrays are in axis order X Y Z T U V R S.
struct DialogFields {
    std::string logFile;          // 1000
    std::string beam;             // 1001
    std::string targetSubstrate;  // 1002
    std::string degrader;         // 1003
    std::string nominalLet;       // 1004
    std::string nominalRange;     // 1005
    std::string effectiveLet;     // 1006
    std::string effectiveRange;   // 1007
    std::string dutLocation;      // 1047
    std::string positionName = "Current";  // 1075

    std::array<std::string, 8> axisValue;  // 1008-1015
    std::array<std::string, 8> axisUnit;   // 1037-1044
    std::array<int, 8> locked{};           // 1016-1023
    int activeAxis = -1;                   // radio group 1024

    std::string energyPerNucleon;  // 1078
    std::string energyMeV;         // 1079
    std::string layers;            // 1083
    std::string positionListSelection;  // 1072
    std::string newPositionName;   // 1070
    std::string newAxisValue;      // 1088
    std::string status;            // 1087
    int directControl = 0;         // 1110
    std::string goal;              // 1048
    int unitChoice = -1;           // radio group 1059
    int bragg = 0;                 // 1109
    std::string directCommand;     // 1121
    std::string userLine;          // 1135
    int finestStep = 0;            // 1111

    bool operator==(const DialogFields&) const = default;
};
