#include "platform/system_info.h"

#include <winioctl.h>

#include <cstring>

#include "platform/win32/file_handle.h"
#include "platform/win32/function_lookup.h"

namespace platform {
namespace {

constexpr int kDriveCount = 4;
constexpr BYTE kIdentifyDevice = 0xEC;
constexpr BYTE kAtapiIdentify = 0xA1;

HANDLE OpenDrive(const std::string& disk, DWORD access) {
    return CreateFileA(disk.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                       OPEN_EXISTING, 0, nullptr);
}

// The drive number in "\\.\PhysicalDriveN".
int DriveNumber(const std::string& disk) {
    const size_t digits = disk.find_last_not_of("0123456789") + 1;
    return digits < disk.size() ? std::atoi(disk.c_str() + digits) : 0;
}

}  // namespace

bool GetWindowsVersion(DWORD* major, DWORD* minor) {
    using RtlGetVersionProc = LONG(WINAPI*)(OSVERSIONINFOEXW*);
    HMODULE ntdll = LoadLibraryW(L"ntdll.dll");
    if (!ntdll)
        return false;
    const auto getVersion = LookUpFunction<RtlGetVersionProc>(ntdll, "RtlGetVersion");
    OSVERSIONINFOEXW info{};
    info.dwOSVersionInfoSize = sizeof info;  // 284 bytes
    const bool ok = getVersion && getVersion(&info) == 0;
    FreeLibrary(ntdll);
    if (!ok)
        return false;
    *major = info.dwMajorVersion;
    *minor = info.dwMinorVersion;
    return true;
}

std::string ReadOsPrettyName() {
    return {};
}

bool IsSystem64Bit() {
    if (sizeof(void*) == 8)
        return true;
    using IsWow64ProcessProc = BOOL(WINAPI*)(HANDLE, BOOL*);
    const auto isWow64 =
        LookUpFunction<IsWow64ProcessProc>(GetModuleHandleW(L"kernel32"), "IsWow64Process");
    BOOL wow64 = FALSE;
    return isWow64 && isWow64(GetCurrentProcess(), &wow64) && wow64;
}

std::vector<std::string> ListDisks() {
    std::vector<std::string> disks;
    for (int drive = 0; drive < kDriveCount; ++drive)
        disks.push_back("\\\\.\\PhysicalDrive" + std::to_string(drive));
    return disks;
}

std::string ReadSysfsDiskSerial(const std::string& disk) {
    // No access rights are needed for the property query, so it works without elevation.
    FileHandle drive(OpenDrive(disk, 0));
    if (!drive.IsValid())
        return {};
    STORAGE_PROPERTY_QUERY query{};
    query.PropertyId = StorageDeviceProperty;
    query.QueryType = PropertyStandardQuery;
    alignas(STORAGE_DEVICE_DESCRIPTOR) char buffer[4096] = {};
    DWORD returned = 0;
    if (!DeviceIoControl(drive.get(), IOCTL_STORAGE_QUERY_PROPERTY, &query, sizeof query, buffer,
                         sizeof buffer - 1, &returned, nullptr))
        return {};
    const auto* descriptor = reinterpret_cast<const STORAGE_DEVICE_DESCRIPTOR*>(buffer);
    const DWORD offset = descriptor->SerialNumberOffset;
    if (offset == 0 || offset >= returned)
        return {};
    return std::string(buffer + offset, strnlen(buffer + offset, returned - offset));
}

bool AtaIdentify(const std::string& disk, IdentifyWords& words) {
    FileHandle drive(OpenDrive(disk, GENERIC_READ | GENERIC_WRITE));
    if (!drive.IsValid())
        return false;
    GETVERSIONINPARAMS version{};
    DWORD returned = 0;
    if (!DeviceIoControl(drive.get(), SMART_GET_VERSION, nullptr, 0, &version, sizeof version,
                         &returned, nullptr) ||
        version.bIDEDeviceMap == 0)
        return false;
    const int number = DriveNumber(disk);
    SENDCMDINPARAMS in{};
    in.cBufferSize = 512;
    in.irDriveRegs.bSectorCountReg = 1;
    in.irDriveRegs.bSectorNumberReg = 1;
    in.irDriveRegs.bDriveHeadReg = (number & 1) ? 0xB0 : 0xA0;
    in.irDriveRegs.bCommandReg =
        ((version.bIDEDeviceMap >> number) & 0x10) ? kAtapiIdentify : kIdentifyDevice;
    in.bDriveNumber = static_cast<BYTE>(number);
    alignas(SENDCMDOUTPARAMS) char out[sizeof(SENDCMDOUTPARAMS) + 512] = {};
    if (!DeviceIoControl(drive.get(), SMART_RCV_DRIVE_DATA, &in, sizeof in, out, sizeof out,
                         &returned, nullptr))
        return false;
    std::memcpy(words.data(), reinterpret_cast<SENDCMDOUTPARAMS*>(out)->bBuffer, 512);
    return true;
}

std::string ScsiUnitSerial(const std::string&) {
    return {};
}

}  // namespace platform
