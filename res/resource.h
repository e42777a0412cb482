#pragma once
// Every resource, command and control id of the program.

#include "framework/FrameworkIds.h"

// Templates
constexpr int IDD_ABOUTBOX = 100;
constexpr int IDD_KORVA_FORM = 101;
constexpr int IDD_PB1 = 133;  // channel k: IDD_PB1 + k - 1, up to 148
constexpr int IDD_PB16 = 148;
constexpr int IDD_TIMER = 149;
constexpr int IDD_ABFRAGEZEIT = 150;
constexpr int IDD_MAXIMALWERTE = 153;
constexpr int IDD_ZOOM = 178;
constexpr int IDD_VERBRAUCH = 181;
constexpr int IDD_CON = 189;

// Menus, toolbar, accelerators, icons, document string
constexpr int IDR_MAINFRAME = 128;
constexpr int IDR_KORVATYPE = 129;

// Bitmaps
constexpr int IDB_SPLASH = 107;
constexpr int IDB_TOOLBAR = 128;
constexpr int IDB_ABOUT = 130;
constexpr int IDB_AUS = 167;  // red lamp: off
constexpr int IDB_EIN = 168;  // green lamp: on
constexpr int IDB_MAXIMALWERTE = 175;

// Status-bar panes
constexpr int ID_INDICATOR_DATE = 102;
constexpr int ID_INDICATOR_TIME = 103;

// Program commands
constexpr int ID_INPUT1 = 32775;  // channel k: ID_INPUT1 + k - 1, up to 32790
constexpr int ID_INPUT16 = 32790;
constexpr int ID_INPUT17 = 32792;  // 17 ... 32: 32792 ... 32807, no handlers
constexpr int ID_INPUT32 = 32807;
constexpr int ID_ALLE_AUS = 32808;
constexpr int ID_ALLE_EIN = 32809;
constexpr int ID_TIMERZEIT = 32810;
constexpr int ID_ABFRAGEZEIT = 32811;
constexpr int ID_HOECHSTWERTE = 32813;
constexpr int ID_MAXWERTE = 32822;
constexpr int ID_ZOOM = 32823;
constexpr int ID_VERBRAUCH = 32825;
constexpr int ID_VERBRAUCHSZAEHLER = 32826;
constexpr int ID_STARTSTOP = 32829;

// Added commands: event journal, history, exports, hardware
constexpr int ID_EREIGNISPROTOKOLL = 32840;
constexpr int ID_VERLAUF = 32841;
constexpr int ID_EXPORT_VERBRAUCH = 32842;
constexpr int ID_EXPORT_HOECHSTWERTE = 32843;
constexpr int ID_HARDWARE_KONFIGURATION = 32844;
constexpr int ID_SIMULATOR = 32845;
constexpr int ID_INDICATOR_HARDWARE = 104;  // status pane "Hardware: ..."

// Added commands: MQTT and the stations overview
constexpr int ID_MQTT_VERBINDUNG = 32846;
constexpr int ID_STATIONEN = 32847;
constexpr int ID_INDICATOR_MQTT = 105;  // status pane "MQTT: ..."

// Added command: sound and notification of a cutoff
constexpr int ID_ALARM = 32848;

// Controls of the monitoring form and the enlarged window, per channel
struct ChannelControlIds
{
    int bar, current, name, top, middle, imageOff, imageOn;
};
constexpr ChannelControlIds kChannelIds[16] = {
    {1001, 1002, 1003, 1167, 1184, 1005, 1004}, {1019, 1020, 1021, 1168, 1185, 1006, 1007},
    {1022, 1023, 1024, 1170, 1186, 1008, 1009}, {1025, 1026, 1027, 1171, 1187, 1011, 1010},
    {1028, 1029, 1030, 1172, 1188, 1013, 1012}, {1031, 1032, 1033, 1173, 1189, 1015, 1014},
    {1034, 1035, 1036, 1174, 1190, 1038, 1037}, {1040, 1041, 1042, 1175, 50, 1064, 1039},
    {1016, 1017, 1018, 1176, 1192, 1066, 1065}, {1043, 1044, 1045, 1177, 1193, 1068, 1067},
    {1046, 1047, 1048, 1178, 1194, 1070, 1069}, {1049, 1050, 1051, 1179, 1195, 1072, 1071},
    {1052, 1053, 1054, 1180, 1196, 1074, 1073}, {1055, 1056, 1057, 1181, 1197, 1076, 1075},
    {1058, 1059, 1060, 1182, 1199, 1078, 1077}, {1061, 1062, 1063, 1183, 1200, 1080, 1079},
};

// Timer and polling-interval dialogs
constexpr int IDC_INTERVALL = 1081;

// Start-stop configuration
constexpr int IDC_START_EIN = 1203;
constexpr int IDC_START_AUS = 1204;
constexpr int IDC_STOP_AUS = 1205;
constexpr int IDC_STOP_EIN = 1206;

// Maximum-values dialog, channel k = 1 ... 16
constexpr int MaxPeakEditId(int k) { return 1080 + k; }
constexpr int MaxNameEditId(int k) { return 1169 + k; }
constexpr int MaxClearButtonId(int k) { return k == 1 ? 1148 : 1148 + k; }
constexpr int IDC_MAX_ALLE_LOESCHEN = 1149;

// Consumption-counter dialog, channel k = 1 ... 16
constexpr int VerbrauchNameEditId(int k) { return 1169 + k; }
constexpr int VerbrauchPowerEditId(int k) { return 1080 + k; }
constexpr int VerbrauchEnergyEditId(int k) { return k <= 8 ? 1120 + k : 1104 + k; }
constexpr int VerbrauchClearButtonId(int k) { return 1147 + k; }
constexpr int IDC_GESAMT = 1187;
constexpr int IDC_GESAMT_LOESCHEN = 1147;
constexpr int IDC_VERBRAUCH_ALLE_LOESCHEN = 1194;

// Channel parameter dialogs, channel k at index k - 1
struct PBControlIds
{
    int name, maximalstrom, abschaltstrom, alarmstrom, hysterese;
};
constexpr PBControlIds kPBIds[16] = {
    {1003, 1086, 1087, 1088, 1089}, {1021, 1082, 1083, 1084, 1085}, {1024, 1090, 1091, 1092, 1093},
    {1027, 1094, 1095, 1096, 1097}, {1030, 1099, 1098, 1100, 1101}, {1033, 1102, 1103, 1104, 1105},
    {1036, 1113, 1112, 1110, 1111}, {1042, 1106, 1107, 1108, 1109}, {1018, 1114, 1115, 1116, 1117},
    {1045, 1118, 1119, 1120, 1121}, {1048, 1122, 1123, 1124, 1125}, {1051, 1126, 1127, 1128, 1129},
    {1054, 1130, 1131, 1132, 1133}, {1057, 1134, 1135, 1136, 1137}, {1060, 1138, 1139, 1140, 1141},
    {1063, 1142, 1143, 1144, 1145},
};
