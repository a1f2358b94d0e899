// Resource identifiers of the main dialog, the About box, the string table and the icon.
#pragma once

#define IDM_ABOUTBOX 0x0010
#define IDD_ABOUTBOX 100
#define IDS_ABOUTBOX 101
#define IDD_ZANDREL_DIALOG 102
#define IDR_MAINFRAME 128

#define IDC_SEND_FILE 1000
#define IDC_BROWSE_SEND 1001
#define IDC_COM_PORT 1002
#define IDC_STATUS 1003
#define IDC_STOP 1004
#define IDC_WRITE_TO_PORT 1005
#define IDC_BAUD 1006
#define IDC_PARITY 1007
#define IDC_DATA_BITS 1008
#define IDC_STOP_BITS 1009
#define IDC_CAPTURE_TO_FILE 1010
#define IDC_CAPTURE_FILE 1011
#define IDC_BROWSE_CAPTURE 1012
#define IDC_TIME_DELAY 1013
#define IDC_LOOP 1014
#define IDC_FLOW_CONTROL 1015
#define IDC_MODEM_LINES 1016
#define IDC_ARRIVAL_TIMES 1017
