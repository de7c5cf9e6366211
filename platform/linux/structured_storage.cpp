#include "platform/structured_storage.h"

#include <fcntl.h>
#include <gsf/gsf-infile-impl.h>
#include <gsf/gsf.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "platform/atomic_file.h"
#include "platform/path.h"
#include "platform/text.h"

namespace {

constexpr guint8 kSignature[] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
constexpr size_t kHeaderSize = 512;
constexpr size_t kDirectoryEntrySize = 128;
constexpr guint32 kNoStream = 0xFFFFFFFF;
// Element names hold at most 31 UTF-16 units and none of these characters.
constexpr size_t kMaxNameUnits = 31;
constexpr std::wstring_view kForbiddenNameChars = L"/\\:!";

struct GObjectUnref {
    void operator()(gpointer object) const { g_object_unref(object); }
};
template <typename T>
using GsfPtr = std::unique_ptr<T, GObjectUnref>;

void DropLogMessage(const gchar*, GLogLevelFlags, const gchar*, gpointer) {}

// libgsf complains about damaged files through GLib's log, which prints on standard error. A
// damaged file is expected input here (it just fails to open), so those messages are dropped.
void InitGsf() {
    static std::once_flag once;
    std::call_once(once, [] {
        gsf_init();
        const auto levels =
            static_cast<GLogLevelFlags>(G_LOG_LEVEL_MASK | G_LOG_FLAG_FATAL | G_LOG_FLAG_RECURSION);
        for (const char* domain : {"libgsf", "libgsf:msole"})
            g_log_set_handler(domain, levels, DropLogMessage, nullptr);
    });
}

// Windows compares element names by upper-casing each character.
bool SameElementName(std::wstring_view a, std::wstring_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](wchar_t x, wchar_t y) {
        return g_unichar_toupper(static_cast<gunichar>(x)) ==
               g_unichar_toupper(static_cast<gunichar>(y));
    });
}

bool IsValidElementName(const wchar_t* name) {
    if (!name || !*name)
        return false;
    const std::wstring_view view(name);
    return platform::WideToUtf16(view).size() <= kMaxNameUnits &&
           view.find_first_of(kForbiddenNameChars) == std::wstring_view::npos;
}

// The share mode as an advisory lock: deny-write shares, exclusive excludes, deny-none locks
// nothing. Deny-read alone has no lock of its own and is treated as exclusive.
int LockOperation(DWORD mode) {
    switch (mode & 0x70) {
        case STGM_SHARE_DENY_NONE:
            return 0;
        case STGM_SHARE_DENY_WRITE:
            return LOCK_SH;
        default:
            return LOCK_EX;
    }
}

// Opens a regular file for reading under the share mode's lock and gives its size. O_NONBLOCK
// keeps a FIFO from blocking the open; anything but a regular file is refused unread, and so is
// a file above the cap.
HRESULT OpenLockedFile(const wchar_t* name, DWORD mode, int* fd, gsize* size) {
    *fd = ::open(platform::NativePath(name).c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (*fd < 0)
        return errno == EACCES ? STG_E_ACCESSDENIED : STG_E_FILENOTFOUND;
    struct stat st;
    HRESULT hr = S_OK;
    if (::fstat(*fd, &st) != 0 || !S_ISREG(st.st_mode))
        hr = STG_E_FILENOTFOUND;
    else if (st.st_size > kMaxCompoundFileSize)
        hr = STG_E_DOCFILECORRUPT;
    else if (const int lock = LockOperation(mode); lock && ::flock(*fd, lock | LOCK_NB) != 0)
        hr = STG_E_SHAREVIOLATION;
    if (FAILED(hr))
        ::close(*fd);
    else
        *size = static_cast<gsize>(st.st_size);
    return hr;
}

// Reads up to size bytes into memory that GLib frees; *filled gets the count.
HRESULT ReadWholeFile(int fd, gsize size, guint8** data, gsize* filled) {
    *data = static_cast<guint8*>(g_malloc(std::max<gsize>(size, 1)));
    *filled = 0;
    while (*filled < size) {
        const ssize_t n = ::read(fd, *data + *filled, size - *filled);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return STG_E_READFAULT;
        if (n == 0)
            break;
        *filled += static_cast<gsize>(n);
    }
    return S_OK;
}

guint32 ReadLe32(const guint8* p) {
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<guint32>(p[3]) << 24);
}

// Checks what libgsf takes on trust. Windows opens only 512- and 4096-byte sectors with 64-byte
// mini sectors; refusing others keeps libgsf from sizing buffers after a damaged header. The
// root entry never has siblings; libgsf would read any it claims into entries it never frees.
HRESULT CheckHeader(const guint8* data, gsize size) {
    if (size < kHeaderSize || std::memcmp(data, kSignature, sizeof kSignature) != 0)
        return STG_E_FILEALREADYEXISTS;
    const unsigned sectorShift = data[0x1E] | (data[0x1F] << 8);
    const unsigned miniSectorShift = data[0x20] | (data[0x21] << 8);
    if ((sectorShift != 9 && sectorShift != 12) || miniSectorShift != 6)
        return STG_E_DOCFILECORRUPT;
    const guint64 sectorSize = guint64{1} << sectorShift;
    const guint64 root =
        std::max<guint64>(kHeaderSize, sectorSize) + guint64{ReadLe32(data + 0x30)} * sectorSize;
    if (root + kDirectoryEntrySize > size || ReadLe32(data + root + 0x44) != kNoStream ||
        ReadLe32(data + root + 0x48) != kNoStream)
        return STG_E_DOCFILECORRUPT;
    return S_OK;
}

class ReadStream final : public IStream {
  public:
    explicit ReadStream(GsfInput* input) : input_(input) {}

    HRESULT Read(void* data, DWORD cb, DWORD* read) override {
        if (read)
            *read = 0;
        if (!data && cb)
            return STG_E_INVALIDPARAMETER;
        const auto left = static_cast<unsigned long long>(gsf_input_remaining(input_.get()));
        const DWORD count = static_cast<DWORD>(std::min<unsigned long long>(cb, left));
        if (count && !gsf_input_read(input_.get(), count, static_cast<guint8*>(data)))
            return STG_E_READFAULT;
        if (read)
            *read = count;
        return S_OK;
    }
    HRESULT Write(const void*, DWORD, DWORD* written) override {
        if (written)
            *written = 0;
        return STG_E_ACCESSDENIED;
    }
    DWORD Release() override {
        delete this;
        return 0;
    }

  private:
    GsfPtr<GsfInput> input_;
};

class ReadStorage final : public IStorage {
  public:
    ReadStorage(int fd, GsfInfile* root) : fd_(fd), root_(root) {}
    ~ReadStorage() override { ::close(fd_); }

    HRESULT OpenStream(const wchar_t* name, void* reserved1, DWORD mode, DWORD reserved2,
                       IStream** stream) override {
        if (!stream)
            return STG_E_INVALIDPARAMETER;
        *stream = nullptr;
        if (!name || reserved1 || reserved2)
            return STG_E_INVALIDPARAMETER;
        if ((mode & 3) != STGM_READ)
            return STG_E_ACCESSDENIED;
        if ((mode & 0x70) != STGM_SHARE_EXCLUSIVE)
            return STG_E_INVALIDFLAG;
        const int index = FindChild(name);
        if (index < 0)
            return STG_E_FILENOTFOUND;
        GsfPtr<GsfInput> child(ChildByIndex(index));
        if (!child)
            return STG_E_DOCFILECORRUPT;
        if (GSF_IS_INFILE(child.get()) && gsf_infile_num_children(GSF_INFILE(child.get())) >= 0)
            return STG_E_FILENOTFOUND;  // a storage, not a stream
        *stream = new ReadStream(child.release());
        return S_OK;
    }
    HRESULT CreateStream(const wchar_t*, DWORD, DWORD, DWORD, IStream** stream) override {
        if (stream)
            *stream = nullptr;
        return STG_E_ACCESSDENIED;
    }
    HRESULT Commit(DWORD) override { return S_OK; }
    DWORD Release() override {
        delete this;
        return 0;
    }

  private:
    int FindChild(const wchar_t* name) const {
        const int count = gsf_infile_num_children(root_.get());
        for (int i = 0; i < count; ++i) {
            const char* childName = gsf_infile_name_by_index(root_.get(), i);
            if (childName && SameElementName(platform::Utf8ToWide(childName), name))
                return i;
        }
        return -1;
    }

    // gsf_infile_child_by_index prints its failures on standard error through GLib's default
    // log domain; the class function gives the same child and hands the error back instead.
    GsfInput* ChildByIndex(int index) const {
        auto* infileClass = G_TYPE_INSTANCE_GET_CLASS(root_.get(), GSF_INFILE_TYPE, GsfInfileClass);
        GError* error = nullptr;
        GsfInput* child = infileClass->child_by_index(root_.get(), index, &error);
        g_clear_error(&error);
        return child;
    }

    int fd_;
    GsfPtr<GsfInfile> root_;
};

// Streams of a storage being created collect their bytes in memory; Commit builds the compound
// file from them in one go, so an abandoned storage leaves nothing behind.
struct PendingStream {
    std::wstring name;
    std::shared_ptr<std::string> bytes;
};

class WriteStream final : public IStream {
  public:
    explicit WriteStream(std::shared_ptr<std::string> bytes) : bytes_(std::move(bytes)) {}

    HRESULT Read(void*, DWORD, DWORD* read) override {
        if (read)
            *read = 0;
        return STG_E_ACCESSDENIED;
    }
    HRESULT Write(const void* data, DWORD cb, DWORD* written) override {
        if (written)
            *written = 0;
        if (!data && cb)
            return STG_E_INVALIDPARAMETER;
        bytes_->append(static_cast<const char*>(data), cb);
        if (written)
            *written = cb;
        return S_OK;
    }
    DWORD Release() override {
        delete this;
        return 0;
    }

  private:
    std::shared_ptr<std::string> bytes_;
};

class WriteStorage final : public IStorage {
  public:
    explicit WriteStorage(std::wstring path) : path_(std::move(path)) {}

    HRESULT OpenStream(const wchar_t*, void*, DWORD, DWORD, IStream** stream) override {
        if (stream)
            *stream = nullptr;
        return STG_E_ACCESSDENIED;
    }
    HRESULT CreateStream(const wchar_t* name, DWORD mode, DWORD reserved1, DWORD reserved2,
                         IStream** stream) override {
        if (!stream)
            return STG_E_INVALIDPARAMETER;
        *stream = nullptr;
        if (reserved1 || reserved2)
            return STG_E_INVALIDPARAMETER;
        if (!IsValidElementName(name))
            return STG_E_INVALIDNAME;
        if ((mode & 3) == STGM_READ)
            return STG_E_INVALIDFLAG;
        auto existing = std::find_if(streams_.begin(), streams_.end(),
                                     [&](const auto& s) { return SameElementName(s.name, name); });
        if (existing != streams_.end() && !(mode & STGM_CREATE))
            return STG_E_FILEALREADYEXISTS;
        auto bytes = std::make_shared<std::string>();
        if (existing != streams_.end())
            existing->bytes = bytes;
        else
            streams_.push_back({name, bytes});
        *stream = new WriteStream(bytes);
        return S_OK;
    }
    HRESULT Commit(DWORD) override {
        std::string file;
        if (!BuildFile(&file))
            return STG_E_INSUFFICIENTMEMORY;
        return platform::WriteFileAtomically(path_, file) ? S_OK : STG_E_WRITEFAULT;
    }
    DWORD Release() override {
        delete this;
        return 0;
    }

  private:
    bool BuildFile(std::string* file) const {
        GsfPtr<GsfOutput> sink(gsf_output_memory_new());
        GsfPtr<GsfOutfile> root(gsf_outfile_msole_new(sink.get()));
        if (!root)
            return false;
        bool ok = true;
        for (const PendingStream& stream : streams_) {
            const std::string name = platform::WideToUtf8(stream.name);
            GsfPtr<GsfOutput> child(gsf_outfile_new_child(root.get(), name.c_str(), FALSE));
            ok = child &&
                 gsf_output_write(child.get(), stream.bytes->size(),
                                  reinterpret_cast<const guint8*>(stream.bytes->data())) &&
                 gsf_output_close(child.get()) && ok;
        }
        ok = gsf_output_close(GSF_OUTPUT(root.get())) && ok;
        const guint8* bytes = gsf_output_memory_get_bytes(GSF_OUTPUT_MEMORY(sink.get()));
        if (ok && bytes)
            file->assign(reinterpret_cast<const char*>(bytes),
                         static_cast<size_t>(gsf_output_size(sink.get())));
        return ok && bytes;
    }

    std::wstring path_;
    std::vector<PendingStream> streams_;
};

}  // namespace

HRESULT StgOpenStorage(const wchar_t* name, IStorage* priority, DWORD mode, void* exclude,
                       DWORD reserved, IStorage** storage) {
    if (!storage)
        return STG_E_INVALIDPARAMETER;
    *storage = nullptr;
    if (!name || !*name || priority || exclude || reserved)
        return STG_E_INVALIDPARAMETER;
    if ((mode & 3) != STGM_READ)
        return STG_E_INVALIDFLAG;
    InitGsf();
    int fd = -1;
    gsize fileSize = 0;
    HRESULT hr = OpenLockedFile(name, mode, &fd, &fileSize);
    if (FAILED(hr))
        return hr;
    guint8* data = nullptr;
    gsize size = 0;
    hr = ReadWholeFile(fd, fileSize, &data, &size);
    if (SUCCEEDED(hr))
        hr = CheckHeader(data, size);
    if (FAILED(hr)) {
        g_free(data);
        ::close(fd);
        return hr;
    }
    GsfPtr<GsfInput> input(gsf_input_memory_new(data, static_cast<gsf_off_t>(size), TRUE));
    GError* error = nullptr;
    GsfInfile* root = gsf_infile_msole_new(input.get(), &error);
    g_clear_error(&error);
    if (!root) {
        ::close(fd);
        return STG_E_DOCFILECORRUPT;
    }
    *storage = new ReadStorage(fd, root);
    return S_OK;
}

HRESULT StgCreateDocfile(const wchar_t* name, DWORD mode, DWORD reserved, IStorage** storage) {
    if (!storage)
        return STG_E_INVALIDPARAMETER;
    *storage = nullptr;
    if (!name || !*name || reserved)
        return STG_E_INVALIDPARAMETER;
    if ((mode & 3) == STGM_READ)
        return STG_E_INVALIDFLAG;
    if (!(mode & STGM_CREATE) && PathFileExistsW(name))
        return STG_E_FILEALREADYEXISTS;
    InitGsf();
    *storage = new WriteStorage(name);
    return S_OK;
}
