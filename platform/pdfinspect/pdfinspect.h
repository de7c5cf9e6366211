// The PDF inspection library: opens a PDF with a given password, counts its pages and tells
// whether it is encrypted. It is a shared library of its own, loaded by the program at start,
// and its only exports are these two C functions.
//
// Neither function throws, crashes or waits on anything but the file: every failure inside the
// library is caught and turned into the documented result.
#pragma once

#if defined(PDFINSPECT_BUILDING) && defined(_WIN32)
#define PDFINSPECT_API __declspec(dllexport)
#elif defined(_WIN32)
#define PDFINSPECT_API __declspec(dllimport)
#elif defined(PDFINSPECT_BUILDING)
#define PDFINSPECT_API __attribute__((visibility("default")))
#else
#define PDFINSPECT_API
#endif

extern "C" {

// Opens the document at utf8Path with password (bytes in the caller's locale encoding; null or ""
// for no password) and returns:
//   > 0  it opened; the number of pages;
//     0  it opened but has no pages;
//    -1  it cannot be opened with that password, and also: utf8Path is null, the file is
//        missing or unreadable, it is not a regular file (a folder, device or pipe), it is
//        not a PDF, or it is damaged beyond repair.
// A document protected only by an owner password opens with any password, wrong ones included,
// as every PDF reader opens it without asking.
PDFINSPECT_API int PDFCountPages(const char* utf8Path, const char* password);

// Non-zero when the document at utf8Path is encrypted (with an open password or an owner
// password only). Zero when it is not encrypted, and also when utf8Path is null, the file is
// missing or unreadable, it is not a regular file, it is not a PDF, or it is damaged beyond
// repair.
PDFINSPECT_API unsigned char IsPDFEncrypt(const char* utf8Path);

}  // extern "C"
