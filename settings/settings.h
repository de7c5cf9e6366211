// What the program keeps between runs and the folders it works in: the application paths,
// the user's choices in config.ini, the partner file and the installation's registry values.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/win_types.h"

struct AppPaths {
    std::wstring programDir;  // folder of the executable
    std::wstring dataDir;     // per-user data folder, created when missing
    std::wstring desktopDir;  // the user's desktop, the default output folder
};

// Fills the process-wide AppPaths from the executable's path and the shell folders.
void InitAppPaths();
const AppPaths& GetAppPaths();

// The data folder joined with a file name.
std::wstring DataFilePath(const std::wstring& fileName);

inline constexpr int kDefaultStallSeconds = 60;
inline constexpr int kMaxCompressJobs = 64;
// One worker per processor, at most four: beyond that the disk, not the processor, sets the pace.
int DefaultCompressJobs();
// Each worker gets a share of the machine's memory, so that all of them together leave the
// desktop room: half the memory split between the workers, within 768 MiB and 4 GiB.
int DefaultMemoryLimitMb(int jobs);

// Target sizes count as upload limits count them: 1 KB is 1000 bytes, 1 MB 1000000.
inline constexpr std::uint64_t kMinTargetBytes = 1000;
inline constexpr std::uint64_t kMaxTargetBytes = 1000000000000000;
inline constexpr std::uint64_t kDefaultTargetBytes = 1000000;
// "500K", "2M", "2.5 MB", "1048576": a target size in bytes, within the limits above. A number
// without a unit counts unitBytes each.
std::optional<std::uint64_t> ParseTargetSize(std::string_view text, std::uint64_t unitBytes = 1);

class SettingsStore {
  public:
    std::wstring configPath;
    std::wstring savePath;
    int canUpdate = 1;
    int saveSamePath = 1;
    int compressDpi = 300;
    // When not 0, files are compressed to at most this many bytes instead of to a resolution:
    // targetSize while useTargetSize is on. The size is kept while the option is off.
    std::uint64_t targetBytes = 0;
    int useTargetSize = 0;
    std::uint64_t targetSize = kDefaultTargetBytes;
    // How the compression workers run: how many at once, how long one may go without progress
    // before it is ended, and the memory ceiling of each. Kept in config.ini for those who must
    // change them; there is no control for them.
    int compressJobs = DefaultCompressJobs();
    int stallSeconds = kDefaultStallSeconds;
    int memoryLimitMb = DefaultMemoryLimitMb(DefaultCompressJobs());

    void Load();
    BOOL WriteInt(const wchar_t* section, const wchar_t* key, int value);
    void SetSaveSamePath(bool customFolderChosen);
    void SetSavePath(const std::wstring& path);
    void SetCompressDpiByIndex(int index);
    void SetUseTargetSize(bool on);
    void SetTargetSize(std::uint64_t bytes);
    void MarkInstallerReady();
    bool IsInstallerReady();
};

SettingsStore& GetSettingsStore();

// False when the user turned usage reports off ("General"/"UsageReports" = 0 in config.ini).
// Read from the file at every call, so it holds on every path that sends a report, also the
// uninstallation's, which loads no settings.
bool UsageReportsAllowed();

struct PartnerInfo {
    std::wstring Id = L"0";
    std::wstring Toolbox;
    int HideCompanyInfo = 0;
};

// Reads "oem.ini" beside the executable into the process-wide PartnerInfo.
void LoadPartnerInfo();
const PartnerInfo& GetPartnerInfo();

inline constexpr const wchar_t* kRegistryKey = L"Software\\Brindle";
inline constexpr int kDefaultCompressDpi = 300;

std::wstring ResolveAdId(bool deriveFromInstaller);
std::wstring GetInstalledVersion();
bool HasInstallReportMarker();
void ClearInstallReportMarker();
