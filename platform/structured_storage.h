// OLE structured storage (compound files): ole32 on Windows; on Linux the same names over
// libgsf, only what the language files need. A storage opened for reading sees the streams of its
// root storage; a storage created for writing takes new streams and is written out by Commit.
//
// Sharing: Linux has no share modes, so they become advisory locks (flock) held for the life of
// the storage: STGM_SHARE_DENY_WRITE takes a shared lock, STGM_SHARE_EXCLUSIVE an exclusive one,
// and an open that conflicts with a lock held elsewhere fails with STG_E_SHAREVIOLATION.
// StgCreateDocfile never writes a file in place: Commit writes a new file beside it and renames
// it over the old one, so a reader always sees a whole file, old or new. A program that writes
// the file in place without taking a lock is not kept out.
//
// Damaged input: a file that is not a compound file, is truncated, has looping chains or
// directories, or is larger than kMaxCompoundFileSize fails to open or gives failing reads;
// libgsf's own complaints about such files are silenced, never printed.
#pragma once

#include "platform/win_types.h"

// The program opens only its own small language files; a cap keeps a damaged or hostile file
// from making the parser size its tables (some on the stack) after a huge file.
inline constexpr long long kMaxCompoundFileSize = 4 * 1024 * 1024;

#ifdef _WIN32
#include <objbase.h>
#else
inline constexpr DWORD STGM_READ = 0x00000000;
inline constexpr DWORD STGM_WRITE = 0x00000001;
inline constexpr DWORD STGM_READWRITE = 0x00000002;
inline constexpr DWORD STGM_SHARE_DENY_NONE = 0x00000040;
inline constexpr DWORD STGM_SHARE_DENY_READ = 0x00000030;
inline constexpr DWORD STGM_SHARE_DENY_WRITE = 0x00000020;
inline constexpr DWORD STGM_SHARE_EXCLUSIVE = 0x00000010;
inline constexpr DWORD STGM_CREATE = 0x00001000;

inline constexpr DWORD STGC_DEFAULT = 0;

inline constexpr HRESULT STG_E_INVALIDFUNCTION = static_cast<HRESULT>(0x80030001u);
inline constexpr HRESULT STG_E_FILENOTFOUND = static_cast<HRESULT>(0x80030002u);
inline constexpr HRESULT STG_E_ACCESSDENIED = static_cast<HRESULT>(0x80030005u);
inline constexpr HRESULT STG_E_INSUFFICIENTMEMORY = static_cast<HRESULT>(0x80030008u);
inline constexpr HRESULT STG_E_WRITEFAULT = static_cast<HRESULT>(0x8003001Du);
inline constexpr HRESULT STG_E_READFAULT = static_cast<HRESULT>(0x8003001Eu);
inline constexpr HRESULT STG_E_SHAREVIOLATION = static_cast<HRESULT>(0x80030020u);
inline constexpr HRESULT STG_E_FILEALREADYEXISTS = static_cast<HRESULT>(0x80030050u);
inline constexpr HRESULT STG_E_INVALIDPARAMETER = static_cast<HRESULT>(0x80030057u);
inline constexpr HRESULT STG_E_INVALIDNAME = static_cast<HRESULT>(0x800300FCu);
inline constexpr HRESULT STG_E_DOCFILECORRUPT = static_cast<HRESULT>(0x80030109u);
inline constexpr HRESULT STG_E_INVALIDFLAG = static_cast<HRESULT>(0x800300FFu);

inline constexpr bool SUCCEEDED(HRESULT hr) {
    return hr >= 0;
}
inline constexpr bool FAILED(HRESULT hr) {
    return hr < 0;
}

// Objects are owned by whoever received them and freed by Release; a stream stays usable after
// its storage has been released.
class IStream {
  public:
    // Reads up to cb bytes from the current position in one call; *read gets the count.
    virtual HRESULT Read(void* data, DWORD cb, DWORD* read) = 0;
    virtual HRESULT Write(const void* data, DWORD cb, DWORD* written) = 0;
    virtual DWORD Release() = 0;

  protected:
    virtual ~IStream() = default;
};

class IStorage {
  public:
    // Opens a stream of this storage; names compare without regard to case, as Windows does.
    virtual HRESULT OpenStream(const wchar_t* name, void* reserved1, DWORD mode, DWORD reserved2,
                               IStream** stream) = 0;
    virtual HRESULT CreateStream(const wchar_t* name, DWORD mode, DWORD reserved1, DWORD reserved2,
                                 IStream** stream) = 0;
    // Writes a created storage to its file. Releasing it without a commit writes nothing.
    virtual HRESULT Commit(DWORD flags) = 0;
    virtual DWORD Release() = 0;

  protected:
    virtual ~IStorage() = default;
};

// Opens an existing compound file for reading (STGM_READ with a share mode); exclusions and the
// reserved argument must be null and zero.
HRESULT StgOpenStorage(const wchar_t* name, IStorage* priority, DWORD mode, void* exclude,
                       DWORD reserved, IStorage** storage);
// Starts a new compound file (STGM_WRITE or STGM_READWRITE; STGM_CREATE to replace a file).
HRESULT StgCreateDocfile(const wchar_t* name, DWORD mode, DWORD reserved, IStorage** storage);
#endif
