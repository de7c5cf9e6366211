#include "platform/system_info.h"

#include <fcntl.h>
#include <scsi/sg.h>
#include <sys/ioctl.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string_view>

namespace platform {
namespace {

std::string ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return {};
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

std::string Trim(std::string_view text) {
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos)
        return {};
    const auto last = text.find_last_not_of(" \t\r\n");
    return std::string(text.substr(first, last - first + 1));
}

// A shell-style value: quoted (with backslash escapes) or bare.
std::string Unquote(std::string_view value) {
    if (value.empty() || (value.front() != '"' && value.front() != '\''))
        return Trim(value);
    const char quote = value.front();
    std::string out;
    for (size_t i = 1; i < value.size() && value[i] != quote; ++i) {
        if (value[i] == '\\' && quote == '"' && i + 1 < value.size())
            ++i;
        out += value[i];
    }
    return out;
}

bool IsDiskName(const std::string& name) {
    for (const char* prefix : {"loop", "ram", "zram", "dm-", "md", "sr", "fd", "nbd"}) {
        if (name.rfind(prefix, 0) == 0)
            return false;
    }
    return name.find("boot") == std::string::npos && name.find("rpmb") == std::string::npos;
}

// The SCSI unit-serial-number page (4-byte header, then the serial), trimmed.
std::string UnitSerialFromPage(const unsigned char* page, size_t size) {
    if (size < 4 || page[1] != 0x80)
        return {};
    const size_t length = std::min<size_t>(page[3], size - 4);
    return Trim(std::string_view(reinterpret_cast<const char*>(page + 4), length));
}

// One SCSI command that reads data from the device; false when it did not complete cleanly.
bool ScsiRead(const std::string& disk, unsigned char* cdb, unsigned char cdbLength,
              unsigned char* data, unsigned dataLength) {
    const int fd = ::open(("/dev/" + disk).c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    unsigned char sense[32] = {};
    sg_io_hdr_t io = {};
    io.interface_id = 'S';
    io.dxfer_direction = SG_DXFER_FROM_DEV;
    io.cmd_len = cdbLength;
    io.cmdp = cdb;
    io.dxfer_len = dataLength;
    io.dxferp = data;
    io.mx_sb_len = sizeof(sense);
    io.sbp = sense;
    io.timeout = 10000;
    const bool ok = ::ioctl(fd, SG_IO, &io) == 0 && io.status == 0 && io.host_status == 0 &&
                    (io.driver_status & 0x0F) == 0;
    ::close(fd);
    return ok;
}

}  // namespace

bool GetWindowsVersion(DWORD*, DWORD*) {
    return false;
}

std::string ParseOsPrettyName(const std::string& osRelease) {
    std::istringstream lines(osRelease);
    std::string line;
    constexpr std::string_view kKey = "PRETTY_NAME=";
    while (std::getline(lines, line)) {
        const std::string_view view = line;
        if (view.substr(0, kKey.size()) == kKey)
            return Unquote(view.substr(kKey.size()));
    }
    return {};
}

std::string ReadOsPrettyName() {
    for (const char* path : {"/etc/os-release", "/usr/lib/os-release"}) {
        const std::string text = ReadWholeFile(path);
        if (!text.empty())
            return ParseOsPrettyName(text);
    }
    return {};
}

bool IsSystem64Bit() {
    utsname name = {};
    if (::uname(&name) != 0)
        return sizeof(void*) == 8;
    const std::string_view machine = name.machine;
    return machine.find("64") != std::string_view::npos || machine == "s390x" || machine == "alpha";
}

std::vector<std::string> ListDisks() {
    std::vector<std::string> disks;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator("/sys/block", ec)) {
        const std::string name = entry.path().filename().string();
        if (IsDiskName(name) && std::filesystem::exists(entry.path() / "device", ec))
            disks.push_back(name);
    }
    // Shorter names first, so sdb comes before sdaa and nvme2n1 before nvme10n1.
    std::sort(disks.begin(), disks.end(), [](const std::string& a, const std::string& b) {
        return a.size() != b.size() ? a.size() < b.size() : a < b;
    });
    if (disks.size() > 4)
        disks.resize(4);
    return disks;
}

std::string ReadSysfsDiskSerial(const std::string& disk) {
    const std::string base = "/sys/block/" + disk;
    for (const char* attribute : {"/serial", "/device/serial"}) {
        const std::string serial = Trim(ReadWholeFile(base + attribute));
        if (!serial.empty())
            return serial;
    }
    const std::string page = ReadWholeFile(base + "/device/vpd_pg80");
    return UnitSerialFromPage(reinterpret_cast<const unsigned char*>(page.data()), page.size());
}

bool AtaIdentify(const std::string& disk, IdentifyWords& words) {
    // ATA PASS-THROUGH (16): PIO data-in, one 512-byte block, IDENTIFY DEVICE (0xEC).
    unsigned char cdb[16] = {0x85, 4 << 1, 0x0E, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0xA0, 0xEC, 0};
    unsigned char block[512] = {};
    if (!ScsiRead(disk, cdb, sizeof(cdb), block, sizeof(block)))
        return false;
    for (size_t i = 0; i < words.size(); ++i)
        words[i] = static_cast<std::uint16_t>(block[2 * i] | (block[2 * i + 1] << 8));
    return true;
}

std::string ScsiUnitSerial(const std::string& disk) {
    unsigned char cdb[6] = {0x12, 0x01, 0x80, 0, 255, 0};
    unsigned char page[255] = {};
    if (!ScsiRead(disk, cdb, sizeof(cdb), page, sizeof(page)))
        return {};
    return UnitSerialFromPage(page, sizeof(page));
}

}  // namespace platform
