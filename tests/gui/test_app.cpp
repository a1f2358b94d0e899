// The application object every dialog of the program expects (its icon comes
// from the application).
#include "platform/framework/afxwin.h"

CWinApp theTestApp;
