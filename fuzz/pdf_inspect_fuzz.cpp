// The PDF inspection library's two exports on any file, with any password: neither throws,
// crashes or hangs, and a document that is not encrypted gives the same page count whatever
// password is handed over. Input: the password, then the file.
#include <string>

#include "fuzz/fuzz_support.h"
#include "platform/pdfinspect/pdfinspect.h"
#include "platform/text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const auto fields = fuzz::SplitFields(data, size, 2);
    const std::string password(fields[0]);
    const std::string path = platform::WideToUtf8(fuzz::WriteScratch("fuzz.pdf", fields[1]));
    const int pages = PDFCountPages(path.c_str(), password.c_str());
    fuzz::Check(pages >= -1, "a page count below -1");
    if (IsPDFEncrypt(path.c_str()) == 0)
        fuzz::Check(PDFCountPages(path.c_str(), "") == pages,
                    "a document without encryption counts otherwise with a password");
    return 0;
}
