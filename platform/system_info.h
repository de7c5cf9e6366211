// Facts about the machine, read from the places the system keeps them: on Linux the operating
// system's release file, the kernel's machine name and sysfs; on Windows the version that ntdll
// reports, WOW64, and the physical drives' device I/O controls.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/win_types.h"

namespace platform {

// The Windows version numbers from RtlGetVersion (looked up at run time, so a compatibility
// shim cannot lie about them); false off Windows or when the call is missing or fails.
bool GetWindowsVersion(DWORD* major, DWORD* minor);

// PRETTY_NAME from os-release (/etc/os-release, else /usr/lib/os-release), unquoted; empty when
// neither file names one, and always on Windows.
std::string ReadOsPrettyName();
#ifndef _WIN32
// The same from a given os-release text, so the parsing can be checked without the real file.
std::string ParseOsPrettyName(const std::string& osRelease);
#endif

// True when the running kernel is a 64-bit one, whatever this program was built for.
bool IsSystem64Bit();

// Up to four whole disks in a stable order (sda before sdb, nvme0n1 before nvme1n1); loop, RAM,
// optical, device-mapper and other virtual block devices are not disks here. On Windows the
// physical drives 0 to 3 ("\\.\PhysicalDrive0").
std::vector<std::string> ListDisks();

// The serial number the kernel reports for a disk (sysfs "serial" attributes, else the SCSI
// unit-serial-number page it cached; on Windows the storage property query); empty when it
// reports none.
std::string ReadSysfsDiskSerial(const std::string& disk);

// An ATA IDENTIFY DEVICE through SCSI generic pass-through (on Windows through SMART). False
// when the device cannot be opened (usually no rights) or does not answer.
using IdentifyWords = std::array<std::uint16_t, 256>;
bool AtaIdentify(const std::string& disk, IdentifyWords& words);

// The SCSI unit serial number (INQUIRY, page 0x80) through SCSI generic; empty when the device
// cannot be opened or does not answer, and on Windows, where the first two methods cover the
// drives.
std::string ScsiUnitSerial(const std::string& disk);

}  // namespace platform
