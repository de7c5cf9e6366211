// The structural side of compression, through qpdf: what a PDF holds (page count, encryption,
// damage), and a lossless rewrite that packs objects into object streams, compresses what is
// uncompressed and drops what nothing refers to.
#pragma once

#include <optional>
#include <string>
#include <vector>

struct PdfFacts {
    enum class State { Opened, NeedsPassword, Damaged };
    State state = State::Damaged;
    bool encrypted = false;
    int pages = 0;
};

// Opens the file with the password (bytes as Ghostscript gets them). A file qpdf cannot open
// is damaged unless qpdf says that the password is what is missing.
PdfFacts ReadPdfFacts(const std::string& path, const std::string& password);

// The pages (numbered from 1) that may show nothing: no text, no painted path or shading, and
// no image that is not nearly uniform. A page left out certainly shows something, so only the
// listed ones need rendering to tell. Nothing when the file cannot be read.
std::optional<std::vector<int>> PagesThatMayBeBlank(const std::string& path);

// A PDF, opened with its password, whose encryption another file is to take over: the same
// passwords, permissions and algorithm, without knowing the owner password.
struct EncryptionSource {
    std::string path;
    std::string password;
};

// What a rewrite wrote: its page count and, when asked for, the pages that may be blank.
struct Rewritten {
    int pages = 0;
    std::vector<int> mayBeBlank;
};

// Rewrites input losslessly into output (at least PDF 1.5, for object streams). With
// encryptLike the output takes that file's encryption; without it, it keeps input's own.
// Nothing when input cannot be read or output cannot be written. Flate streams are kept as they
// are: recompressing them can make images bigger.
std::optional<Rewritten> RewriteStructure(const std::string& input,
                                          const std::string& inputPassword,
                                          const std::string& output,
                                          const EncryptionSource* encryptLike, bool findBlank);
