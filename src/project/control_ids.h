#pragma once

// Numeric identifiers of the dialogs' controls. The controller addresses
// every control by these; the window binds each widget to its id.
namespace plotvane::ids {

// Dialog templates.
inline constexpr int kAboutDialog = 100;
inline constexpr int kMainDialog = 102;
inline constexpr int kPasswordCheckDialog = 160;
inline constexpr int kPasswordInputDialog = 161;
inline constexpr int kPasswordAgainDialog = 162;

// Standard buttons of the password dialogs.
inline constexpr int kIdOk = 1;
inline constexpr int kIdCancel = 2;

// Main dialog: push buttons.
inline constexpr int kIdInfo = 3;
inline constexpr int kIdMakePdb = 1030;
inline constexpr int kIdFileLoad = 1031;

// Main dialog: map identity.
inline constexpr int kIdDatabaseName = 1025;
inline constexpr int kIdVersion = 1026;

// Main dialog: class rows. Index k - 1 for Class k.
inline constexpr int kIdClassButton[4] = {1000, 1001, 1003, 1004};
inline constexpr int kIdClassFileName[4] = {1002, 1006, 1007, 1008};
inline constexpr int kIdClassTopxN[4] = {1009, 1010, 1011, 1012};
inline constexpr int kIdClassWidth[4] = {1013, 1014, 1015, 1016};
inline constexpr int kIdClassHeight[4] = {1017, 1018, 1019, 1020};
inline constexpr int kIdClassUseRec[4] = {1021, 1022, 1023, 1024};

// Main dialog: GPS and corner coordinates.
inline constexpr int kIdGpsOn = 4;
inline constexpr int kIdGpsOff = 5;
inline constexpr int kIdUpperLeftLatDegrees = 1027;
inline constexpr int kIdUpperLeftLatMinutes = 1028;
inline constexpr int kIdUpperLeftLatSeconds = 1029;
inline constexpr int kIdUpperLeftLatFraction = 1032;
inline constexpr int kIdUpperLeftLongDegrees = 1033;
inline constexpr int kIdUpperLeftLongMinutes = 1034;
inline constexpr int kIdUpperLeftLongSeconds = 1035;
inline constexpr int kIdUpperLeftLongFraction = 1036;
inline constexpr int kIdBottomRightLatDegrees = 1037;
inline constexpr int kIdBottomRightLatMinutes = 1038;
inline constexpr int kIdBottomRightLatSeconds = 1039;
inline constexpr int kIdBottomRightLatFraction = 1040;
inline constexpr int kIdBottomRightLongDegrees = 1041;
inline constexpr int kIdBottomRightLongMinutes = 1042;
inline constexpr int kIdBottomRightLongSeconds = 1043;
inline constexpr int kIdBottomRightLongFraction = 1044;

// The sixteen coordinate edits, [value][part] with values upper-left
// latitude, upper-left longitude, bottom-right latitude, bottom-right
// longitude and parts degrees, minutes, seconds, fraction.
inline constexpr int kIdCoordinate[4][4] = {
    {1027, 1028, 1029, 1032},
    {1033, 1034, 1035, 1036},
    {1037, 1038, 1039, 1040},
    {1041, 1042, 1043, 1044},
};

// Main dialog: information texts.
inline constexpr int kIdInfoTextEdit = 1047;
inline constexpr int kIdInfoTextCounter = 1048;
inline constexpr int kIdInfoTextButton = 1005;

// Main dialog: preview controls.
inline constexpr int kIdZoomIn = 1045;
inline constexpr int kIdZoomOut = 1046;
inline constexpr int kIdUp = 1049;
inline constexpr int kIdDown = 1050;
inline constexpr int kIdLeft = 1051;
inline constexpr int kIdRight = 1052;
inline constexpr int kIdColour = 1053;
inline constexpr int kIdDithering = 1054;
inline constexpr int kIdCompress = 1055;

// The About item of the window menu.
inline constexpr int kSysCommandAbout = 16;
// "Make classes from one picture...", beside About on the context menu.
inline constexpr int kSysCommandMakeClasses = 48;

// Password dialogs. They reuse numbers of the main dialog: 1048 is the
// password edit there, 1049.. the radio buttons.
inline constexpr int kIdPasswordEdit = 1048;
inline constexpr int kIdNonPassword = 1049;
inline constexpr int kIdInformation = 1050;
inline constexpr int kIdAllView = 1054;
inline constexpr int kIdReadOnly = 1052;
inline constexpr int kIdFullEdit = 1055;

}  // namespace plotvane::ids
