// The machine's serial ports from the registry's SERIALCOMM list, with what the device
// installer knows about each (its friendly name, maker and USB ids) where it is there.

#include "serial/ComPortList_p.h"
#include "serial/ComPortName.h"

#include <windows.h>
// after windows.h
#include <devguid.h>
#include <setupapi.h>

#include <iterator>
#include <map>

namespace {

/// Friendly name, maker, service and USB ids by port name ("COM3"), from the installer's
/// Ports class. Empty when the installer has no such devices (some emulators).
struct TInstalled {
    QString Friendly, Maker, Service, HardwareId;
};

QString Property(HDEVINFO Set, SP_DEVINFO_DATA &Dev, DWORD Which)
{
    wchar_t buffer[512];
    DWORD type = 0;
    if (!SetupDiGetDeviceRegistryPropertyW(Set, &Dev, Which, &type, reinterpret_cast<BYTE *>(buffer),
                                           sizeof buffer - sizeof(wchar_t), nullptr))
        return {};
    buffer[std::size(buffer) - 1] = 0;
    return QString::fromWCharArray(buffer); // a multi-string reads as its first entry
}

std::map<QString, TInstalled> InstalledPorts()
{
    std::map<QString, TInstalled> found;
    HDEVINFO set = SetupDiGetClassDevsW(&GUID_DEVCLASS_PORTS, nullptr, nullptr, DIGCF_PRESENT);
    if (set == INVALID_HANDLE_VALUE)
        return found;
    SP_DEVINFO_DATA dev{};
    dev.cbSize = sizeof dev;
    for (DWORD i = 0; SetupDiEnumDeviceInfo(set, i, &dev); ++i) {
        HKEY key = SetupDiOpenDevRegKey(set, &dev, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_QUERY_VALUE);
        if (key == INVALID_HANDLE_VALUE)
            continue;
        wchar_t name[64] = {};
        DWORD size = sizeof name - sizeof(wchar_t), type = 0;
        const bool named = RegQueryValueExW(key, L"PortName", nullptr, &type, reinterpret_cast<BYTE *>(name), &size)
                               == ERROR_SUCCESS
                           && type == REG_SZ;
        RegCloseKey(key);
        if (!named)
            continue;
        found[QString::fromWCharArray(name)] = {Property(set, dev, SPDRP_FRIENDLYNAME),
                                                Property(set, dev, SPDRP_MFG),
                                                Property(set, dev, SPDRP_SERVICE),
                                                Property(set, dev, SPDRP_HARDWAREID)};
    }
    SetupDiDestroyDeviceInfoList(set);
    return found;
}

/// "USB\VID_0403&PID_6001&REV_0600" gives 0403 and 6001.
void ReadUsbIds(const QString &HardwareId, TComPortInfo &Info)
{
    const QString id = HardwareId.toUpper();
    const qsizetype vid = id.indexOf(QLatin1String("VID_"));
    const qsizetype pid = id.indexOf(QLatin1String("PID_"));
    if (!id.startsWith(QLatin1String("USB\\")) && !id.startsWith(QLatin1String("FTDIBUS\\")))
        return;
    if (vid >= 0 && pid >= 0) {
        Info.VendorId = id.mid(vid + 4, 4).toLower();
        Info.ProductId = id.mid(pid + 4, 4).toLower();
    }
}

} // namespace

bool ListSystemComPorts(const QString &, std::vector<TComPortInfo> &Ports)
{
    HKEY key = nullptr;
    const LSTATUS r = RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0,
                                    KEY_QUERY_VALUE, &key);
    if (r == ERROR_FILE_NOT_FOUND) { // the key exists only while some port does
        Ports.clear();
        return true;
    }
    if (r != ERROR_SUCCESS)
        return false;
    const std::map<QString, TInstalled> installed = InstalledPorts();
    std::vector<TComPortInfo> found;
    for (DWORD i = 0;; ++i) {
        wchar_t device[256];
        wchar_t port[64];
        DWORD deviceSize = DWORD(std::size(device));
        DWORD portSize = sizeof port - sizeof(wchar_t);
        DWORD type = 0;
        const LSTATUS e = RegEnumValueW(key, i, device, &deviceSize, nullptr, &type,
                                        reinterpret_cast<BYTE *>(port), &portSize);
        if (e == ERROR_NO_MORE_ITEMS)
            break;
        if (e != ERROR_SUCCESS || type != REG_SZ)
            continue;
        port[portSize / sizeof(wchar_t)] = 0;
        TComPortInfo info;
        info.Name = QString::fromWCharArray(port);
        info.DevicePath = ComDevicePath(info.Name);
        info.Driver = QString::fromWCharArray(device, int(deviceSize)); // "\Device\Serial0"
        if (auto it = installed.find(info.Name); it != installed.end()) {
            ReadUsbIds(it->second.HardwareId, info);
            info.Manufacturer = it->second.Maker;
            info.Product = it->second.Friendly;
            // Without USB ids the description shows the driver: the friendly name says more.
            info.Driver = info.VendorId.isEmpty() && !it->second.Friendly.isEmpty() ? it->second.Friendly
                                                                                    : it->second.Service;
        }
        found.push_back(std::move(info));
    }
    RegCloseKey(key);
    Ports = std::move(found);
    return true;
}

QString ComDevicePath(const QString &Port)
{
    return Port.startsWith(QLatin1String("\\\\")) ? Port : QStringLiteral("\\\\.\\") + Port;
}

bool ComDeviceExists(const QString &Port)
{
    if (IsNetPortName(Port))
        return true;
    // A device path is no file here: the system's device names say whether it is still there.
    QString name = Port;
    if (name.startsWith(QLatin1String("\\\\.\\")))
        name.remove(0, 4);
    wchar_t target[512];
    return QueryDosDeviceW(reinterpret_cast<const wchar_t *>(name.utf16()), target, DWORD(std::size(target))) != 0;
}
