#include "platform/minidump.h"

#include <cpuid.h>
#include <elf.h>
#include <fcntl.h>
#include <sched.h>
#include <signal.h>
#include <sys/utsname.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <initializer_list>

#include "platform/signal_safe.h"

namespace {

using std::uint64_t;

constexpr DWORD MINIDUMP_SIGNATURE = 0x504D444D;  // "MDMP"
constexpr DWORD MINIDUMP_VERSION = 0xA793;
constexpr DWORD ThreadListStream = 3;
constexpr DWORD ModuleListStream = 4;
constexpr DWORD MemoryListStream = 5;
constexpr DWORD ExceptionStream = 6;
constexpr DWORD SystemInfoStream = 7;
constexpr DWORD MiscInfoStream = 15;
constexpr DWORD kStreamCount = 6;
constexpr WORD PROCESSOR_ARCHITECTURE_AMD64 = 9;
// The platform id Breakpad gave Linux; debuggers read it to pick the process's ABI.
constexpr DWORD kPlatformIdLinux = 0x8201;
// A CodeView record that carries an ELF build id ("BpEL"), after Breakpad.
constexpr DWORD kCvSignatureElfBuildId = 0x4270454C;
constexpr DWORD MINIDUMP_MISC1_PROCESS_ID = 1;

constexpr std::size_t kMaxModules = 512;
constexpr std::size_t kPathPoolSize = 128 * 1024;
constexpr std::size_t kMaxLine = 4096 + 128;
constexpr std::size_t kMaxBuildId = 64;
constexpr std::size_t kMaxProgramHeaders = 64;
constexpr std::size_t kMaxNotes = 2048;
constexpr uint64_t kMaxStack = 256 * 1024;
// How far below its stack a thread's stack pointer can be after an overflow: Linux keeps a
// gap of 256 pages under a growing stack.
constexpr uint64_t kMaxGuardGap = 1024 * 1024;
// What the x86-64 ABI lets a function keep below its stack pointer.
constexpr uint64_t kRedZone = 128;

#pragma pack(push, 4)
struct MINIDUMP_LOCATION_DESCRIPTOR {
    DWORD DataSize;
    DWORD Rva;
};
struct MINIDUMP_HEADER {
    DWORD Signature;
    DWORD Version;
    DWORD NumberOfStreams;
    DWORD StreamDirectoryRva;
    DWORD CheckSum;
    DWORD TimeDateStamp;
    uint64_t Flags;
};
struct MINIDUMP_DIRECTORY {
    DWORD StreamType;
    MINIDUMP_LOCATION_DESCRIPTOR Location;
};
struct MINIDUMP_SYSTEM_INFO {
    WORD ProcessorArchitecture;
    WORD ProcessorLevel;
    WORD ProcessorRevision;
    BYTE NumberOfProcessors;
    BYTE ProductType;
    DWORD MajorVersion;
    DWORD MinorVersion;
    DWORD BuildNumber;
    DWORD PlatformId;
    DWORD CSDVersionRva;
    WORD SuiteMask;
    WORD Reserved2;
    DWORD VendorId[3];
    DWORD VersionInformation;
    DWORD FeatureInformation;
    DWORD AMDExtendedCpuFeatures;
};
struct MINIDUMP_EXCEPTION {
    DWORD ExceptionCode;
    DWORD ExceptionFlags;
    uint64_t ExceptionRecord;
    uint64_t ExceptionAddress;
    DWORD NumberParameters;
    DWORD UnusedAlignment;
    uint64_t ExceptionInformation[EXCEPTION_MAXIMUM_PARAMETERS];
};
struct MINIDUMP_EXCEPTION_STREAM {
    DWORD ThreadId;
    DWORD Alignment;
    MINIDUMP_EXCEPTION ExceptionRecord;
    MINIDUMP_LOCATION_DESCRIPTOR ThreadContext;
};
struct MINIDUMP_MEMORY_DESCRIPTOR {
    uint64_t StartOfMemoryRange;
    MINIDUMP_LOCATION_DESCRIPTOR Memory;
};
struct MINIDUMP_THREAD {
    DWORD ThreadId;
    DWORD SuspendCount;
    DWORD PriorityClass;
    DWORD Priority;
    uint64_t Teb;
    MINIDUMP_MEMORY_DESCRIPTOR Stack;
    MINIDUMP_LOCATION_DESCRIPTOR ThreadContext;
};
struct MINIDUMP_MODULE {
    uint64_t BaseOfImage;
    DWORD SizeOfImage;
    DWORD CheckSum;
    DWORD TimeDateStamp;
    DWORD ModuleNameRva;
    DWORD VersionInfo[13];  // VS_FIXEDFILEINFO: ELF files have none
    MINIDUMP_LOCATION_DESCRIPTOR CvRecord;
    MINIDUMP_LOCATION_DESCRIPTOR MiscRecord;
    uint64_t Reserved0;
    uint64_t Reserved1;
};
struct MINIDUMP_MISC_INFO {
    DWORD SizeOfInfo;
    DWORD Flags1;
    DWORD ProcessId;
    DWORD ProcessCreateTime;
    DWORD ProcessUserTime;
    DWORD ProcessKernelTime;
};
#pragma pack(pop)
static_assert(sizeof(MINIDUMP_HEADER) == 32);
static_assert(sizeof(MINIDUMP_SYSTEM_INFO) == 56);
static_assert(sizeof(MINIDUMP_EXCEPTION_STREAM) == 168);
static_assert(sizeof(MINIDUMP_THREAD) == 48);
static_assert(sizeof(MINIDUMP_MODULE) == 108);

struct Module {
    uint64_t base;
    uint64_t end;
    std::size_t pathOffset;  // into g_pathPool
    BYTE buildId[kMaxBuildId];
    std::size_t buildIdSize;
};

// Everything the writer needs beyond its stack lives here, allocated when the program loads.
Module g_modules[kMaxModules];
std::size_t g_moduleCount;
char g_pathPool[kPathPoolSize];
std::size_t g_pathPoolUsed;
// The mapping that holds the faulting stack pointer or, when an overflow left the pointer in
// the guard gap, the stack just above it.
uint64_t g_stackMappingStart;
uint64_t g_stackMappingEnd;
char g_line[kMaxLine];
char16_t g_utf16[kMaxLine];
BYTE g_copyBuffer[16 * 1024];

// UTF-8 (file names, uname text) to the UTF-16 of MINIDUMP_STRING, into g_utf16; returns
// the number of code units. Malformed bytes become U+FFFD.
std::size_t ToUtf16(const char* text) {
    const auto* p = reinterpret_cast<const unsigned char*>(text);
    std::size_t units = 0;
    while (*p && units + 2 < kMaxLine) {
        char32_t c = *p++;
        int more = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
        if (c >= 0x80 && c < 0xC0)
            c = 0xFFFD;
        if (more)
            c &= 0x3F >> more;
        for (; more > 0; --more) {
            if ((*p & 0xC0) != 0x80) {
                c = 0xFFFD;
                break;
            }
            c = (c << 6) | (*p++ & 0x3F);
        }
        if (c >= 0x10000) {
            c -= 0x10000;
            g_utf16[units++] = static_cast<char16_t>(0xD800 + (c >> 10));
            c = 0xDC00 + (c & 0x3FF);
        }
        g_utf16[units++] = static_cast<char16_t>(c);
    }
    return units;
}

// The size of a MINIDUMP_STRING: length, UTF-16 text and its terminating NUL.
DWORD StringSize(const char* text) {
    return static_cast<DWORD>(sizeof(DWORD) + (ToUtf16(text) + 1) * sizeof(char16_t));
}

class DumpFile {
  public:
    explicit DumpFile(int file) : file_(file) {}

    void Write(const void* data, std::size_t size) {
        const auto* bytes = static_cast<const char*>(data);
        while (ok_ && size > 0) {
            const ssize_t written = ::write(file_, bytes, size);
            if (written < 0 && errno == EINTR)
                continue;
            ok_ = written > 0;
            if (ok_) {
                bytes += written;
                size -= static_cast<std::size_t>(written);
            }
        }
    }

    void WriteString(const char* text) {
        const std::size_t units = ToUtf16(text);
        g_utf16[units] = u'\0';
        const DWORD length = static_cast<DWORD>(units * sizeof(char16_t));
        Write(&length, sizeof length);
        Write(g_utf16, (units + 1) * sizeof(char16_t));
    }

    // Copies memory of this process; unreadable pages are written as zeros.
    void WriteMemory(uint64_t start, uint64_t size) {
        while (size > 0) {
            const std::size_t chunk = std::min<uint64_t>(size, sizeof g_copyBuffer);
            if (!platform::ReadOwnMemory(start, g_copyBuffer, chunk))
                std::memset(g_copyBuffer, 0, chunk);
            Write(g_copyBuffer, chunk);
            start += chunk;
            size -= chunk;
        }
    }

    bool ok() const { return ok_; }

  private:
    int file_;
    bool ok_ = true;
};

// --- /proc/self/maps: the loaded modules and the faulting thread's stack ---

class LineReader {
  public:
    explicit LineReader(int file) : file_(file) {}

    // The next line without its newline, truncated to fit; false at the end.
    bool Next(char* line, std::size_t size) {
        std::size_t used = 0;
        bool any = false;
        for (;;) {
            if (begin_ == end_ && !Fill())
                break;
            any = true;
            const char c = buffer_[begin_++];
            if (c == '\n')
                break;
            if (used + 1 < size)
                line[used++] = c;
        }
        line[used] = '\0';
        return any;
    }

  private:
    bool Fill() {
        for (;;) {
            const ssize_t got = ::read(file_, buffer_, sizeof buffer_);
            if (got < 0 && errno == EINTR)
                continue;
            if (got <= 0)
                return false;
            begin_ = 0;
            end_ = static_cast<std::size_t>(got);
            return true;
        }
    }

    int file_;
    char buffer_[4096];
    std::size_t begin_ = 0;
    std::size_t end_ = 0;
};

struct Mapping {
    uint64_t start;
    uint64_t end;
    uint64_t offset;
    const char* path;  // empty for anonymous memory
};

uint64_t ParseHex(const char** text) {
    uint64_t value = 0;
    for (const char* p = *text;; ++p) {
        const char c = *p;
        int digit = -1;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        if (c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        if (digit < 0) {
            *text = p;
            return value;
        }
        value = (value << 4) | static_cast<uint64_t>(digit);
    }
}

const char* SkipField(const char* p) {
    while (*p == ' ')
        ++p;
    while (*p && *p != ' ')
        ++p;
    return p;
}

// "start-end perms offset dev inode   path"
bool ParseMapping(const char* line, Mapping* mapping) {
    const char* p = line;
    mapping->start = ParseHex(&p);
    if (*p++ != '-')
        return false;
    mapping->end = ParseHex(&p);
    p = SkipField(p);  // perms
    while (*p == ' ')
        ++p;
    mapping->offset = ParseHex(&p);
    p = SkipField(SkipField(p));  // dev, inode
    while (*p == ' ')
        ++p;
    mapping->path = p;
    return true;
}

void FindBuildId(const BYTE* notes, std::size_t size, Module* module) {
    std::size_t at = 0;
    while (at + sizeof(Elf64_Nhdr) <= size) {
        Elf64_Nhdr header;
        std::memcpy(&header, notes + at, sizeof header);
        const std::size_t name = at + sizeof header;
        const std::size_t desc = name + ((header.n_namesz + 3) & ~3u);
        if (desc + header.n_descsz > size)
            return;
        if (header.n_type == NT_GNU_BUILD_ID && header.n_namesz == 4 &&
            std::memcmp(notes + name, "GNU", 4) == 0 && header.n_descsz <= kMaxBuildId) {
            std::memcpy(module->buildId, notes + desc, header.n_descsz);
            module->buildIdSize = header.n_descsz;
            return;
        }
        at = desc + ((header.n_descsz + 3) & ~3u);
    }
}

// False when the mapping at the module's base is not an ELF file (fonts, locale archives).
bool ReadElfIdentity(Module* module) {
    Elf64_Ehdr header;
    if (!platform::ReadOwnMemory(module->base, &header, sizeof header) ||
        std::memcmp(header.e_ident, ELFMAG, SELFMAG) != 0)
        return false;
    module->buildIdSize = 0;
    Elf64_Phdr programHeaders[kMaxProgramHeaders];
    const std::size_t count = std::min<std::size_t>(header.e_phnum, kMaxProgramHeaders);
    if (header.e_phentsize != sizeof(Elf64_Phdr) ||
        !platform::ReadOwnMemory(module->base + header.e_phoff, programHeaders,
                                 count * sizeof(Elf64_Phdr)))
        return true;
    // The base maps file offset 0; the first loadable segment says which address that is.
    uint64_t loadBias = module->base;
    for (std::size_t i = 0; i < count; ++i) {
        if (programHeaders[i].p_type == PT_LOAD) {
            loadBias = module->base - (programHeaders[i].p_vaddr - programHeaders[i].p_offset);
            break;
        }
    }
    for (std::size_t i = 0; i < count && module->buildIdSize == 0; ++i) {
        if (programHeaders[i].p_type != PT_NOTE)
            continue;
        BYTE notes[kMaxNotes];
        const std::size_t size = std::min<std::size_t>(programHeaders[i].p_filesz, kMaxNotes);
        if (platform::ReadOwnMemory(loadBias + programHeaders[i].p_vaddr, notes, size))
            FindBuildId(notes, size, module);
    }
    return true;
}

void AddModule(const Mapping& mapping) {
    const std::size_t pathSize = std::strlen(mapping.path) + 1;
    if (g_moduleCount == kMaxModules || g_pathPoolUsed + pathSize > kPathPoolSize)
        return;
    Module& module = g_modules[g_moduleCount];
    module.base = mapping.start;
    module.end = mapping.end;
    if (!ReadElfIdentity(&module))
        return;
    module.pathOffset = g_pathPoolUsed;
    std::memcpy(g_pathPool + g_pathPoolUsed, mapping.path, pathSize);
    g_pathPoolUsed += pathSize;
    ++g_moduleCount;
}

const char* PathOf(const Module& module) {
    return g_pathPool + module.pathOffset;
}

// A module is the file's mapping at offset 0 and the mappings of the same file that follow it.
void ScanMappings(uint64_t stackPointer) {
    g_moduleCount = 0;
    g_pathPoolUsed = 0;
    g_stackMappingStart = g_stackMappingEnd = 0;
    const int maps = ::open("/proc/self/maps", O_RDONLY | O_CLOEXEC);
    if (maps < 0)
        return;
    LineReader reader(maps);
    Mapping mapping;
    while (reader.Next(g_line, sizeof g_line)) {
        if (!ParseMapping(g_line, &mapping))
            continue;
        // The lines come in address order: the first mapping that ends above the stack
        // pointer holds it or lies just above it.
        if (g_stackMappingEnd == 0 && stackPointer < mapping.end &&
            (mapping.start <= stackPointer || mapping.start - stackPointer <= kMaxGuardGap)) {
            g_stackMappingStart = mapping.start;
            g_stackMappingEnd = mapping.end;
        }
        if (mapping.path[0] != '/')
            continue;
        Module* last = g_moduleCount > 0 ? &g_modules[g_moduleCount - 1] : nullptr;
        if (last && std::strcmp(PathOf(*last), mapping.path) == 0)
            last->end = mapping.end;
        else if (mapping.offset == 0)
            AddModule(mapping);
    }
    ::close(maps);
}

// --- the streams ---

struct StackRange {
    uint64_t start;
    uint64_t size;
};

// From just below the stack pointer (the red zone) towards the stack's base, capped; never
// below the mapping, whose first page would otherwise read as zeros.
StackRange FaultingStack(uint64_t stackPointer) {
    if (g_stackMappingEnd == 0)
        return {0, 0};
    const uint64_t redZone = stackPointer > kRedZone ? stackPointer - kRedZone : 0;
    const uint64_t start = std::max(redZone, g_stackMappingStart);
    return {start, std::min(g_stackMappingEnd - start, kMaxStack)};
}

struct Layout {
    DWORD systemInfo;
    DWORD csdVersion;
    DWORD exception;
    DWORD context;
    DWORD threadList;
    DWORD memoryList;
    DWORD miscInfo;
    DWORD moduleList;
    DWORD moduleData;
    DWORD stack;
};

DWORD ModuleDataSize(const Module& module) {
    return StringSize(PathOf(module)) + static_cast<DWORD>(sizeof(DWORD) + module.buildIdSize);
}

Layout ComputeLayout(const char* csdVersion) {
    Layout layout{};
    layout.systemInfo = sizeof(MINIDUMP_HEADER) + kStreamCount * sizeof(MINIDUMP_DIRECTORY);
    layout.csdVersion = layout.systemInfo + sizeof(MINIDUMP_SYSTEM_INFO);
    layout.exception = layout.csdVersion + StringSize(csdVersion);
    layout.context = layout.exception + sizeof(MINIDUMP_EXCEPTION_STREAM);
    layout.threadList = layout.context + sizeof(CONTEXT);
    layout.memoryList = layout.threadList + sizeof(DWORD) + sizeof(MINIDUMP_THREAD);
    layout.miscInfo = layout.memoryList + sizeof(DWORD) + sizeof(MINIDUMP_MEMORY_DESCRIPTOR);
    layout.moduleList = layout.miscInfo + sizeof(MINIDUMP_MISC_INFO);
    layout.moduleData = layout.moduleList + sizeof(DWORD) +
                        static_cast<DWORD>(g_moduleCount * sizeof(MINIDUMP_MODULE));
    layout.stack = layout.moduleData;
    for (std::size_t i = 0; i < g_moduleCount; ++i)
        layout.stack += ModuleDataSize(g_modules[i]);
    return layout;
}

void WriteHeaderAndDirectory(DumpFile& dump, const Layout& layout, DWORD moduleListSize) {
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    const MINIDUMP_HEADER header{MINIDUMP_SIGNATURE,
                                 MINIDUMP_VERSION,
                                 kStreamCount,
                                 sizeof(MINIDUMP_HEADER),
                                 0,
                                 static_cast<DWORD>(now.tv_sec),
                                 0};
    dump.Write(&header, sizeof header);
    const MINIDUMP_DIRECTORY directory[kStreamCount] = {
        {SystemInfoStream, {sizeof(MINIDUMP_SYSTEM_INFO), layout.systemInfo}},
        {ExceptionStream, {sizeof(MINIDUMP_EXCEPTION_STREAM), layout.exception}},
        {ThreadListStream, {layout.memoryList - layout.threadList, layout.threadList}},
        {MemoryListStream, {layout.miscInfo - layout.memoryList, layout.memoryList}},
        {MiscInfoStream, {sizeof(MINIDUMP_MISC_INFO), layout.miscInfo}},
        {ModuleListStream, {moduleListSize, layout.moduleList}},
    };
    dump.Write(directory, sizeof directory);
}

DWORD ReleaseNumber(const char** release) {
    DWORD value = 0;
    while (**release >= '0' && **release <= '9')
        value = value * 10 + static_cast<DWORD>(*(*release)++ - '0');
    if (**release == '.')
        ++*release;
    return value;
}

void WriteSystemInfo(DumpFile& dump, const Layout& layout, const utsname& system) {
    MINIDUMP_SYSTEM_INFO info{};
    info.ProcessorArchitecture = PROCESSOR_ARCHITECTURE_AMD64;
    unsigned int eax = 0, ebx = 0, ecx = 0, edx = 0;
    if (__get_cpuid(0, &eax, &ebx, &ecx, &edx)) {
        info.VendorId[0] = ebx;
        info.VendorId[1] = edx;
        info.VendorId[2] = ecx;
    }
    if (__get_cpuid(1, &eax, &ebx, &ecx, &edx)) {
        info.VersionInformation = eax;
        info.FeatureInformation = edx;
        info.ProcessorLevel = static_cast<WORD>((eax >> 8) & 0xF);
        info.ProcessorRevision = static_cast<WORD>((((eax >> 4) & 0xF) << 8) | (eax & 0xF));
    }
    cpu_set_t cpus;
    if (::sched_getaffinity(0, sizeof cpus, &cpus) == 0)
        info.NumberOfProcessors = static_cast<BYTE>(std::min(CPU_COUNT(&cpus), 255));
    const char* release = system.release;
    info.MajorVersion = ReleaseNumber(&release);
    info.MinorVersion = ReleaseNumber(&release);
    info.BuildNumber = ReleaseNumber(&release);
    info.PlatformId = kPlatformIdLinux;
    info.CSDVersionRva = layout.csdVersion;
    dump.Write(&info, sizeof info);
}

// Debuggers read the exception code of a Linux dump as the signal number (lldb waits forever
// on a number that is no signal), so the code goes where Breakpad keeps the signal's detail.
DWORD SignalForExceptionCode(DWORD code) {
    switch (code) {
        case EXCEPTION_ACCESS_VIOLATION:
            return SIGSEGV;
        case EXCEPTION_IN_PAGE_ERROR:
            return SIGBUS;
        case EXCEPTION_ILLEGAL_INSTRUCTION:
        case EXCEPTION_PRIV_INSTRUCTION:
            return SIGILL;
        case EXCEPTION_BREAKPOINT:
            return SIGTRAP;
        case EXCEPTION_INT_DIVIDE_BY_ZERO:
        case EXCEPTION_INT_OVERFLOW:
        case EXCEPTION_FLT_DIVIDE_BY_ZERO:
        case EXCEPTION_FLT_INEXACT_RESULT:
        case EXCEPTION_FLT_INVALID_OPERATION:
        case EXCEPTION_FLT_OVERFLOW:
        case EXCEPTION_FLT_UNDERFLOW:
            return SIGFPE;
        default:
            return SIGABRT;
    }
}

void WriteException(DumpFile& dump, const Layout& layout,
                    const MINIDUMP_EXCEPTION_INFORMATION& exceptionParam) {
    const EXCEPTION_RECORD& record = *exceptionParam.ExceptionPointers->ExceptionRecord;
    MINIDUMP_EXCEPTION_STREAM stream{};
    stream.ThreadId = exceptionParam.ThreadId;
    stream.ExceptionRecord.ExceptionCode = SignalForExceptionCode(record.ExceptionCode);
    stream.ExceptionRecord.ExceptionFlags = record.ExceptionCode;
    stream.ExceptionRecord.ExceptionAddress = reinterpret_cast<uint64_t>(record.ExceptionAddress);
    stream.ExceptionRecord.NumberParameters = record.NumberParameters;
    for (DWORD i = 0; i < EXCEPTION_MAXIMUM_PARAMETERS; ++i)
        stream.ExceptionRecord.ExceptionInformation[i] = record.ExceptionInformation[i];
    stream.ThreadContext = {sizeof(CONTEXT), layout.context};
    dump.Write(&stream, sizeof stream);
    dump.Write(exceptionParam.ExceptionPointers->ContextRecord, sizeof(CONTEXT));
}

void WriteThreadAndMemoryLists(DumpFile& dump, const Layout& layout, DWORD threadId,
                               const StackRange& stack) {
    const MINIDUMP_MEMORY_DESCRIPTOR stackMemory{stack.start,
                                                 {static_cast<DWORD>(stack.size), layout.stack}};
    const DWORD one = 1;
    MINIDUMP_THREAD thread{};
    thread.ThreadId = threadId;
    thread.Stack = stackMemory;
    thread.ThreadContext = {sizeof(CONTEXT), layout.context};
    dump.Write(&one, sizeof one);
    dump.Write(&thread, sizeof thread);
    // Debuggers read memory from this list, not from the thread's stack descriptor.
    dump.Write(&one, sizeof one);
    dump.Write(&stackMemory, sizeof stackMemory);
}

void WriteMiscInfo(DumpFile& dump) {
    const MINIDUMP_MISC_INFO info{sizeof(MINIDUMP_MISC_INFO),
                                  MINIDUMP_MISC1_PROCESS_ID,
                                  static_cast<DWORD>(::getpid()),
                                  0,
                                  0,
                                  0};
    dump.Write(&info, sizeof info);
}

void WriteModules(DumpFile& dump, const Layout& layout) {
    const auto count = static_cast<DWORD>(g_moduleCount);
    dump.Write(&count, sizeof count);
    DWORD data = layout.moduleData;
    for (std::size_t i = 0; i < g_moduleCount; ++i) {
        const Module& module = g_modules[i];
        MINIDUMP_MODULE entry{};
        entry.BaseOfImage = module.base;
        entry.SizeOfImage = static_cast<DWORD>(module.end - module.base);
        entry.ModuleNameRva = data;
        const DWORD nameSize = StringSize(PathOf(module));
        entry.CvRecord = {static_cast<DWORD>(sizeof(DWORD) + module.buildIdSize), data + nameSize};
        data += ModuleDataSize(module);
        dump.Write(&entry, sizeof entry);
    }
    for (std::size_t i = 0; i < g_moduleCount; ++i) {
        const Module& module = g_modules[i];
        dump.WriteString(PathOf(module));
        dump.Write(&kCvSignatureElfBuildId, sizeof kCvSignatureElfBuildId);
        dump.Write(module.buildId, module.buildIdSize);
    }
}

}  // namespace

BOOL MiniDumpWriteDump(int file, const MINIDUMP_EXCEPTION_INFORMATION* exceptionParam) {
    const CONTEXT& context = *exceptionParam->ExceptionPointers->ContextRecord;
    ScanMappings(context.Rsp);
    const StackRange stack = FaultingStack(context.Rsp);
    utsname system{};
    ::uname(&system);
    // "release version machine", as `uname -rvm` prints it.
    char csdVersion[sizeof system.release + sizeof system.version + sizeof system.machine + 2] = "";
    for (const char* part : std::initializer_list<const char*>{system.release, " ", system.version,
                                                               " ", system.machine})
        std::strcat(csdVersion, part);

    const Layout layout = ComputeLayout(csdVersion);
    DumpFile dump(file);
    WriteHeaderAndDirectory(dump, layout, layout.moduleData - layout.moduleList);
    WriteSystemInfo(dump, layout, system);
    dump.WriteString(csdVersion);
    WriteException(dump, layout, *exceptionParam);
    WriteThreadAndMemoryLists(dump, layout, exceptionParam->ThreadId, stack);
    WriteMiscInfo(dump);
    WriteModules(dump, layout);
    dump.WriteMemory(stack.start, stack.size);
    return dump.ok() ? TRUE : FALSE;
}
