// The serial devices this machine has, as the program tells a user about
// them: a newcomer need not know Linux's device names to find their port.
#pragma once

#include <vector>

#include "platform/framework/afxwin.h"

std::vector<COMMDEVICEINFOA> DevicesPresent();

// For the end of the usage: each device on a line, and how to use one
// ("ZANDREL_COM3=/dev/ttyUSB0 zandrel -c 3 -r capture.txt"); or that there are none.
CString DevicesUsage();

// For a COMn that could not be opened as strDevice and that no variable maps,
// one line: "devices here: /dev/ttyUSB0 (FTDI FT232R USB UART A50285BI); set
// ZANDREL_COM3=/dev/serial/by-id/usb-FTDI_...", or that there are no others.
CString DevicesHint(const CString& strVariable, const CString& strDevice);
