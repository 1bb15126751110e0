#include "protocol/DeviceHost.h"

TDeviceHost *frmMain = nullptr;
