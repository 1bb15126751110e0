#include "protocol/DeviceHost.h"

thread_local TDeviceHost *frmMain = nullptr;
