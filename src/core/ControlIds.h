#pragma once

// Control ids of the main dialog. The values are the dialog's own ids; other
// programs and the operators' documentation refer to controls by them.
enum class ControlId : int {
    Ok = 1,
    Cancel = 2,

    LogFile = 1000,
    Beam = 1001,
    TargetSubstrate = 1002,
    Degrader = 1003,
    NominalLet = 1004,
    NominalRange = 1005,
    EffectiveLet = 1006,
    EffectiveRange = 1007,

    ValueX = 1008,
    ValueY = 1009,
    ValueZ = 1010,
    ValueT = 1011,
    ValueU = 1012,
    ValueV = 1013,
    ValueS = 1014,
    ValueR = 1015,

    LockedX = 1016,
    LockedY = 1017,
    LockedZ = 1018,
    LockedT = 1019,
    LockedU = 1020,
    LockedV = 1021,
    LockedS = 1022,
    LockedR = 1023,

    ActiveX = 1024,  // starts the active-axis radio group
    ActiveY = 1025,
    ActiveZ = 1026,
    ActiveT = 1027,
    ActiveU = 1028,
    ActiveV = 1029,
    ActiveS = 1030,
    ActiveR = 1031,

    DrivePlus = 1032,
    DriveMinus = 1033,
    Halt = 1034,
    NudgePlus = 1035,
    NudgeMinus = 1036,

    UnitX = 1037,
    UnitY = 1038,
    UnitZ = 1039,
    UnitT = 1040,
    UnitU = 1041,
    UnitV = 1042,
    UnitS = 1043,
    UnitR = 1044,

    Home = 1045,
    SetValue = 1046,
    DutLocation = 1047,
    SetGoal = 1048,  // "Set" box: wanted LET or energy
    CloseS1 = 1049,
    OpenS1 = 1050,
    CloseS2 = 1051,
    OpenS2 = 1052,
    CameraOn = 1053,
    CameraOff = 1054,
    LightOn = 1055,
    LightOff = 1056,
    LaserOn = 1057,
    LaserOff = 1058,
    UnitLet = 1059,  // starts the unit-choice radio group
    UnitMeV = 1060,
    Save = 1061,
    Restore = 1062,
    UnitMeVPerNucleon = 1064,
    CheckParallax = 1065,
    UndoParallax = 1066,
    Go = 1069,
    NewPositionName = 1070,
    PositionList = 1072,
    Increment = 1074,
    DutPosition = 1075,
    EnergyPerNucleon = 1078,
    EnergyMeV = 1079,
    Keyboard = 1080,
    Layers = 1083,
    Status = 1087,
    NewAxisValue = 1088,
    Exit = 1102,
    Tell = 1103,
    Ask = 1106,
    Bragg = 1109,
    DirectControl = 1110,
    FinestStep = 1111,
    Summary = 1116,
    DirectCommand = 1121,
    Preview = 1123,
    Clear = 1124,
    Hide = 1125,
    AllHalt = 1128,  // the All Halt picture
    LabelU = 1129,
    LabelV = 1130,
    Reset = 1131,
    ShowHidden = 1132,
    ShowUnhidden = 1133,
    Unhide = 1134,
    UserLine = 1135,
    LabelS = 1136,
    LabelR = 1137,

    Help = 57670,
};

// System-menu command of the "&About Tarvex..." item.
inline constexpr int kAboutCommand = 16;
// System-menu command of the "&Bragg curve..." item beside it.
inline constexpr int kBraggCurveCommand = 32;
// System-menu command of the "&Beam runs..." item beside it.
inline constexpr int kBeamRunsCommand = 48;
// System-menu commands of the "&Campaign..." and "&Cross section..." items.
inline constexpr int kCampaignCommand = 64;
inline constexpr int kCrossSectionCommand = 80;

// Message-loop timers.
inline constexpr int kCameraTimer = 1;      // camera switch-off, 60 s
inline constexpr int kMotionTimer = 4;      // simulated motion, 250 ms
inline constexpr int kReadBackTimer = 5;    // real motion: the controller's read-back
inline constexpr int kCampaignTimer = 6;    // the dosimetry file while a run is open, 1 s
