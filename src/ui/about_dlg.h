// The About box, opened from the system menu.
#pragma once

#include "platform/framework/afxwin.h"
#include "ui/resource.h"

class CAboutDlg : public CDialog {
public:
    CAboutDlg();

    enum { IDD = IDD_ABOUTBOX };

protected:
    DECLARE_MESSAGE_MAP()
};
