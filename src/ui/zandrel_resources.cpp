// The program's resources: the two dialog templates, the combo-box lists,
// the About menu text, the icon and the version record. Registered during
// static initialisation, before any window exists.

#include "platform/framework/afxres.h"
#include "ui/flow_settings.h"
#include "ui/port_settings.h"
#include "ui/resource.h"

namespace {

constexpr DWORD LABEL = CTL_GROUP;  // left-aligned text, group start
constexpr DWORD COMBO = CTL_VSCROLL | CTL_TABSTOP;
constexpr DWORD EDIT = CTL_BORDER | CTL_AUTOHSCROLL | CTL_TABSTOP;

DialogTemplate MainDialog() {
    using K = ControlKind;
    return DialogTemplate{
        IDD_ZANDREL_DIALOG, "Zandrel", 381, 191, "MS Sans Serif", 8,
        DS_VISIBLE | DS_SYSMENU | DS_MINIMIZEBOX | DS_APPWINDOW,
        {
            {IDC_WRITE_TO_PORT, K::PushButton, "Write to Port", CTL_DEFAULT | CTL_TABSTOP, 147, 45, 45, 14},
            {IDC_STOP, K::PushButton, "Stop", CTL_TABSTOP | CTL_STOPSWAITS, 323, 171, 50, 14},
            {IDC_STATIC, K::Static, "File Name", LABEL, 14, 27, 34, 8},
            {IDC_SEND_FILE, K::Edit, "", EDIT, 52, 24, 119, 13},
            {IDC_BROWSE_SEND, K::PushButton, "...", CTL_TABSTOP, 176, 24, 17, 13},
            {IDC_STATIC, K::Static, "COM port", LABEL, 216, 24, 50, 10},
            {IDC_COM_PORT, K::DropDownCombo, "", COMBO, 272, 22, 94, 44},
            {IDC_STATUS, K::Static, "", CTL_LEFTNOWORDWRAP | CTL_GROUP, 7, 172, 310, 13},
            {IDC_STATIC, K::GroupBox, "Data Write", 0, 7, 5, 193, 71},
            {IDC_STATIC, K::GroupBox, "Port Details", 0, 208, 5, 166, 163},
            {IDC_BAUD, K::DropDownCombo, "", COMBO, 272, 42, 94, 47},
            {IDC_PARITY, K::DropDownCombo, "", COMBO, 272, 62, 94, 42},
            {IDC_DATA_BITS, K::DropDownCombo, "", COMBO, 272, 82, 94, 43},
            {IDC_STOP_BITS, K::DropDownCombo, "", COMBO, 272, 102, 94, 41},
            {IDC_FLOW_CONTROL, K::DropDownList, "", COMBO, 272, 122, 94, 42},
            {IDC_MODEM_LINES, K::DropDownList, "", COMBO, 272, 142, 94, 42},
            {IDC_STATIC, K::Static, "BAUD", LABEL, 216, 44, 50, 10},
            {IDC_STATIC, K::Static, "Parity", LABEL, 216, 64, 50, 10},
            {IDC_STATIC, K::Static, "Data", LABEL, 216, 84, 50, 10},
            {IDC_STATIC, K::Static, "Stop Bits", LABEL, 216, 104, 50, 10},
            {IDC_STATIC, K::Static, "Flow Control", LABEL, 216, 124, 50, 10},
            {IDC_STATIC, K::Static, "Modem Lines", LABEL, 216, 144, 50, 10},
            {IDC_CAPTURE_TO_FILE, K::PushButton, "Capture To File", CTL_DEFAULT | CTL_TABSTOP, 137, 126, 56, 14},
            {IDC_STATIC, K::Static, "File Name", LABEL, 14, 103, 34, 8},
            {IDC_CAPTURE_FILE, K::Edit, "", EDIT, 50, 100, 122, 13},
            {IDC_BROWSE_CAPTURE, K::PushButton, "...", CTL_TABSTOP, 176, 100, 17, 13},
            {IDC_STATIC, K::GroupBox, "Data Capture", 0, 7, 80, 193, 88},
            {IDC_STATIC, K::Static, "Time Delay", LABEL, 13, 48, 37, 10},
            {IDC_TIME_DELAY, K::DropDownCombo, "", COMBO, 51, 46, 35, 44},
            {IDC_STATIC, K::Static, "ms", LABEL, 88, 48, 12, 10},
            {IDC_LOOP, K::CheckBox, "Loop", CTL_TABSTOP, 106, 47, 32, 10},
            {IDC_ARRIVAL_TIMES, K::CheckBox, "Arrival Times", CTL_TABSTOP, 14, 128, 60, 10},
        }};
}

DialogTemplate AboutBox() {
    using K = ControlKind;
    return DialogTemplate{
        IDD_ABOUTBOX, "About Zandrel", 235, 55, "MS Sans Serif", 8, DS_SYSMENU,
        {
            {IDC_STATIC, K::StaticIcon, "128", 0, 11, 17, 20, 20},
            {IDC_STATIC, K::Static, "Zandrel Version 1.0", CTL_NOPREFIX | CTL_GROUP, 40, 10, 119, 8},
            {IDC_STATIC, K::Static, "Copyright (C) 2026", CTL_GROUP, 40, 25, 119, 8},
            {IDOK, K::PushButton, "OK", CTL_DEFAULT | CTL_GROUP | CTL_TABSTOP, 178, 7, 50, 14},
        }};
}

std::vector<std::string> PortNames() {
    std::vector<std::string> names;
    for (int n = 1; n <= LISTED_COM_PORTS; ++n) names.push_back(ListedComPort(n).str());
    return names;
}

std::vector<DialogInitList> ComboLists() {
    return {
        {IDD_ZANDREL_DIALOG, IDC_COM_PORT, PortNames()},
        {IDD_ZANDREL_DIALOG, IDC_BAUD,
         {"110", "300", "600", "1200", "2400", "4800", "9600", "14400", "19200", "38400", "56000", "57600",
          "115200", "128000", "256000"}},
        {IDD_ZANDREL_DIALOG, IDC_PARITY, {"NOPARITY", "ODDPARITY", "EVENPARITY", "MARKPARITY", "SPACEPARITY"}},
        {IDD_ZANDREL_DIALOG, IDC_DATA_BITS, {"5", "6", "7", "8"}},
        {IDD_ZANDREL_DIALOG, IDC_STOP_BITS, {"1", "1.5", "2"}},
        {IDD_ZANDREL_DIALOG, IDC_FLOW_CONTROL, FlowControlEntries()},
        {IDD_ZANDREL_DIALOG, IDC_MODEM_LINES, ModemLinesEntries()},
        {IDD_ZANDREL_DIALOG, IDC_TIME_DELAY, {"25", "35", "45", "55", "65", "75", "85", "95", "105"}},
    };
}

// A serial connector with an arrow over it, in the standard 16-colour palette.
IconResource MainIcon() {
    return IconResource{
        IDR_MAINFRAME,
        {0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080, 0x008080, 0xC0C0C0, 0x808080, 0xFF0000,
         0x00FF00, 0xFFFF00, 0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF},
        {
            {32, 32,
             {
                 "................................",
                 "................................",
                 "...................C............",
                 "...................CC...........",
                 "...................CCC..........",
                 "...................CCCC.........",
                 "...CCCCCCCCCCCCCCCCCCCCC........",
                 "...CCCCCCCCCCCCCCCCCCCCCC.......",
                 "...CCCCCCCCCCCCCCCCCCCCCC.......",
                 "...CCCCCCCCCCCCCCCCCCCCC........",
                 "...................CCCC.........",
                 "...................CCC..........",
                 "...................CC...........",
                 "...................C............",
                 "................................",
                 "................................",
                 "..0000000000000000000000000000..",
                 "..0777777777777777777777777770..",
                 "...07777777777777777777777770...",
                 "...0777BB77BB77BB77BB77BB7770...",
                 "....077BB77BB77BB77BB77BB770....",
                 "....077777777777777777777770....",
                 "....077777777777777777777770....",
                 ".....0777777777777777777770.....",
                 ".....0777BB77BB77BB77BB7770.....",
                 ".....0777BB77BB77BB77BB7770.....",
                 "......07777777777777777770......",
                 "......07777777777777777770......",
                 ".......077777777777777770.......",
                 ".......000000000000000000.......",
                 "................................",
                 "................................",
             }},
            {16, 16,
             {
                 ".........C......",
                 ".........CC.....",
                 ".CCCCCCCCCCC....",
                 ".CCCCCCCCCCC....",
                 ".........CC.....",
                 ".........C......",
                 "................",
                 "................",
                 "0000000000000000",
                 "0777777777777770",
                 ".07B77B77B77B70.",
                 ".07777777777770.",
                 "..077777777770..",
                 "..077B77B77B70..",
                 "...0777777770...",
                 "...0000000000...",
             }},
        }};
}

VersionResource Version() {
    return VersionResource{"1.0.0.2",
                           "1.0.0.1",
                           {
                               {"Comments", ""},
                               {"CompanyName", ""},
                               {"FileDescription", "Read Write from COM port "},
                               {"FileVersion", "1, 0, 0, 2"},
                               {"InternalName", "Zandrel"},
                               {"LegalCopyright", "Copyright (C) 2026. All rights reserved."},
                               {"LegalTrademarks", ""},
                               {"OriginalFilename", "Zandrel.EXE"},
                               {"PrivateBuild", ""},
                               {"ProductName", "Zandrel Application"},
                               {"ProductVersion", "1, 0, 0, 2"},
                               {"SpecialBuild", ""},
                           }};
}

const ResourceTable s_resources{
    {MainDialog(), AboutBox()},
    ComboLists(),
    {{IDS_ABOUTBOX, "&About Zandrel..."}, {AFX_IDS_APP_TITLE, "Zandrel"}},
    {MainIcon()},
    Version(),
};

const bool s_registered = (AfxRegisterResources(&s_resources), true);

}  // namespace
