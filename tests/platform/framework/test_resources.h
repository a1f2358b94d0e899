// A small resource table for the framework's own tests: one dialog with each
// kind of control, its combo lists, a string and an icon. The headless and the
// Qt tests share it.
#pragma once

#include "platform/framework/afxwin.h"

namespace testres {

constexpr UINT kDialog = 200;
constexpr UINT kPlainDialog = 201;  // no system menu, no minimise box
constexpr UINT kOtherDialog = 202;
constexpr UINT kString = 300;
constexpr UINT kIcon = 400;

constexpr int kButton = 10;
constexpr int kCheck = 11;
constexpr int kEdit = 12;
constexpr int kCombo = 13;
constexpr int kStatus = 14;
constexpr int kDisabledByTest = 15;

inline const ResourceTable kResources = {
    {
        {kDialog, "Test Dialog", 200, 100, "MS Sans Serif", 8, DS_SYSMENU | DS_MINIMIZEBOX | DS_VISIBLE,
         {
             {kButton, ControlKind::PushButton, "Go", CTL_TABSTOP | CTL_DEFAULT | CTL_STOPSWAITS, 10, 10, 40, 14},
             {kCheck, ControlKind::CheckBox, "Loop", CTL_TABSTOP, 10, 30, 40, 10},
             {IDC_STATIC, ControlKind::Static, "Name", CTL_GROUP, 10, 45, 30, 8},
             {kEdit, ControlKind::Edit, "", CTL_TABSTOP | CTL_BORDER | CTL_AUTOHSCROLL, 45, 45, 80, 13},
             {kCombo, ControlKind::DropDownCombo, "", CTL_TABSTOP | CTL_VSCROLL, 45, 62, 60, 40},
             {IDC_STATIC, ControlKind::GroupBox, "Frame", 0, 5, 5, 190, 75},
             {kStatus, ControlKind::Static, "", CTL_LEFTNOWORDWRAP, 5, 85, 150, 10},
             {kDisabledByTest, ControlKind::PushButton, "Other", CTL_TABSTOP, 150, 10, 40, 14},
         }},
        {kPlainDialog, "Plain", 100, 50, "MS Sans Serif", 8, 0,
         {{IDOK, ControlKind::PushButton, "OK", CTL_TABSTOP | CTL_DEFAULT, 40, 30, 30, 14}}},
        {kOtherDialog, "Other", 100, 50, "MS Sans Serif", 8, DS_SYSMENU,
         {{IDOK, ControlKind::PushButton, "OK", CTL_TABSTOP | CTL_DEFAULT, 40, 30, 30, 14}}},
    },
    {
        {kDialog, kCombo, {"one", "two", "three"}},
    },
    {
        {kString, "&About Test..."},
    },
    {
        {kIcon, {0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080, 0x008080, 0xC0C0C0,
                 0x808080, 0xFF0000, 0x00FF00, 0xFFFF00, 0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF},
         {{2, 2, {"F.", ".F"}}}},
    },
    {"1.0.0.0", "1.0.0.0", {}},
};

// The application object, as a program has one.
inline CWinApp g_app;

// Registered during static initialisation, once per test program.
inline const struct Registration {
    Registration() { AfxRegisterResources(&kResources); }
} kRegistration;

}  // namespace testres
