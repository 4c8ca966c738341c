#pragma once
// Resource ids of the module, below every layer: shared by the resource scripts in Core/res, the layers that
// load the pictures and dialog (bubble, Core) and the tests.

// Strings
#define IDS_FONT_FACE_DEFAULT 998  // "Tahoma": face of the shared fonts
#define IDS_FONT_FACE_BUBBLE 999  // "Arial": face of the install bubble's fonts
#define IDS_NORVIX_TYPENAME 1000  // "Norvix Addon": control type name (also the toolbox bitmap id)
#define IDB_NORVIX 1000

// Status icons (16 x 16)
#define IDI_STATUS_GOOD 1002  // Activated, Uptodate
#define IDI_STATUS_UNKNOWN 1003  // ConnectionFailure, Error, Default
#define IDI_STATUS_ACTION 1004  // Deactivated, Update

// Install bubble
#define IDD_INSTALL_BUBBLE 1005
#define IDI_BUBBLE 1006  // also the icon static's control id
#define IDC_BUBBLE_ICON 1006
#define IDC_BUBBLE_TITLE 1007
#define IDC_BUBBLE_MESSAGE 1008
#define IDB_BUBBLE_CLOSE_NORMAL 1009
#define IDB_BUBBLE_CLOSE_HOT 1010
#define IDB_BUBBLE_CLOSE_PRESSED 1011
#define IDB_BUBBLE_CLOSE_DISABLED 1012  // requested by the bubble; the image itself may be missing
#define IDB_BUBBLE_TOP_LEFT 1013
#define IDB_BUBBLE_TOP_RIGHT 1014
#define IDB_BUBBLE_TOP 1015
#define IDB_BUBBLE_BOTTOM_LEFT 1016
#define IDB_BUBBLE_BOTTOM_RIGHT 1017
#define IDB_BUBBLE_BOTTOM 1018
#define IDB_BUBBLE_LEFT 1019
#define IDB_BUBBLE_RIGHT 1020
#define IDB_BUBBLE_TRANSPARENT_KEY 1021  // only its top-left pixel is read: the transparent colour

// Update animation frames (16 x 16), in the order shown; 1030 is not one of them.
#define IDI_UPDATE_FRAME_01 1022
#define IDI_UPDATE_FRAME_02 1023
#define IDI_UPDATE_FRAME_03 1024
#define IDI_UPDATE_FRAME_04 1025
#define IDI_UPDATE_FRAME_05 1026
#define IDI_UPDATE_FRAME_06 1027
#define IDI_UPDATE_FRAME_07 1028
#define IDI_UPDATE_FRAME_08 1029
#define IDI_UPDATE_FRAME_09 1031
#define IDI_UPDATE_FRAME_10 1032
#define IDI_UPDATE_FRAME_11 1033
