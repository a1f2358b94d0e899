// A small resource table for the framework's own tests: one dialog with each
// kind of control, its combo lists, a string and an icon.
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

}  // namespace testres
