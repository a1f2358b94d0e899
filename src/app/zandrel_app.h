// The application object: runs the main dialog modally, then ends the program.
#pragma once

#include "platform/framework/afxwin.h"

class CZandrelApp : public CWinApp {
public:
    CZandrelApp();

    BOOL InitInstance() override;

protected:
    DECLARE_MESSAGE_MAP()
};
