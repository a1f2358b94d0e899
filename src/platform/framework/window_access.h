// The framework's own access to the protected parts of its window classes.
#pragma once

#include "platform/framework/afxwin.h"

struct AfxWindowAccess {
    static UINT TemplateOf(const CDialog& dialog) { return dialog.m_nIDTemplate; }
};
