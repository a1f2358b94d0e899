// Resources as data, in the shape of a resource script: dialog templates with
// their controls in dialog units, the combo-box lists added at dialog
// initialisation, string-table entries and icons. The program defines its own
// resources and registers them at start-up; the back-ends build windows from them.
#pragma once

#include <string>
#include <vector>

#include "platform/win32.h"

enum class ControlKind {
    PushButton,     // "Button" with BS_PUSHBUTTON or BS_DEFPUSHBUTTON
    CheckBox,       // "Button" with BS_AUTOCHECKBOX
    GroupBox,       // "Button" with BS_GROUPBOX
    Static,         // "Static" text
    StaticIcon,     // "Static" with SS_ICON; text holds the icon id in decimal
    Edit,           // "Edit"
    DropDownCombo,  // "ComboBox" with CBS_DROPDOWN: editable text plus a list
    DropDownList,   // "ComboBox" with CBS_DROPDOWNLIST: a list whose chosen entry is the text
};

// Both kinds of combo box: a list, and a text that is one of its entries or, when editable, typed.
inline bool IsComboKind(ControlKind kind) {
    return kind == ControlKind::DropDownCombo || kind == ControlKind::DropDownList;
}

// Control-style bits that matter to a back-end, each standing for the Win32
// style named beside it; the rest of a control's style is its kind.
constexpr DWORD CTL_TABSTOP = 0x0001;         // WS_TABSTOP
constexpr DWORD CTL_GROUP = 0x0002;           // WS_GROUP
constexpr DWORD CTL_DEFAULT = 0x0004;         // BS_DEFPUSHBUTTON
constexpr DWORD CTL_NOPREFIX = 0x0008;        // SS_NOPREFIX: '&' is shown as is
constexpr DWORD CTL_AUTOHSCROLL = 0x0010;     // ES_AUTOHSCROLL
constexpr DWORD CTL_VSCROLL = 0x0020;         // WS_VSCROLL (combo list)
constexpr DWORD CTL_BORDER = 0x0040;          // WS_BORDER
constexpr DWORD CTL_LEFTNOWORDWRAP = 0x0080;  // SS_LEFTNOWORDWRAP
// Ours, no Win32 style: a button whose click also ends a wait for work run
// aside (a port server that does not answer), as the close box does.
constexpr DWORD CTL_STOPSWAITS = 0x0100;

struct DialogControl {
    int id;            // control identifier, IDC_STATIC (-1) when never addressed
    ControlKind kind;
    const char* text;  // initial text ("" for none)
    DWORD style;       // CTL_ bits
    short x, y, cx, cy;  // dialog units; for a combo box cy includes its list
};

// The string-table entry that names the application (CWinApp's default name).
constexpr UINT AFX_IDS_APP_TITLE = 0xE000;

// Window style bits of a dialog template that matter to a back-end.
constexpr DWORD DS_SYSMENU = 0x0001;
constexpr DWORD DS_MINIMIZEBOX = 0x0002;
constexpr DWORD DS_APPWINDOW = 0x0004;  // own taskbar button
constexpr DWORD DS_VISIBLE = 0x0008;

struct DialogTemplate {
    UINT id;
    const char* caption;
    short cx, cy;         // dialog units
    const char* font;     // face name
    int pointSize;
    DWORD style;          // DS_ bits
    std::vector<DialogControl> controls;  // in template (and tab) order
};

// One CB_ADDSTRING list of a dialog's initialisation data.
struct DialogInitList {
    UINT dialogId;
    int controlId;
    std::vector<std::string> entries;
};

struct StringResource {
    UINT id;
    const char* text;
};

// One image of an icon: rows of characters, each character an index into the
// palette ('0'..'9', 'A'..'F'), '.' transparent.
struct IconImage {
    int width;
    int height;
    std::vector<const char*> rows;
};

struct IconResource {
    UINT id;
    std::vector<DWORD> palette;  // 16 entries, 0xRRGGBB
    std::vector<IconImage> images;  // largest first
};

struct VersionResource {
    const char* fileVersion;     // "1.0.0.2"
    const char* productVersion;  // "1.0.0.1"
    std::vector<std::pair<const char*, const char*>> strings;  // key, value in block 040904b0
};

// The program's resources. A program calls AfxRegisterResources once, during
// static initialisation, before any window exists.
struct ResourceTable {
    std::vector<DialogTemplate> dialogs;
    std::vector<DialogInitList> dialogInit;
    std::vector<StringResource> strings;
    std::vector<IconResource> icons;
    VersionResource version;
};

void AfxRegisterResources(const ResourceTable* table);
const ResourceTable* AfxGetResources();
const DialogTemplate* AfxFindDialogTemplate(UINT id);
const IconResource* AfxFindIcon(UINT id);
