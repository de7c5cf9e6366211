// PDF files for the inspection tests: plain ones written here, encrypted ones made from them by
// the qpdf tool, as a user would meet them.
#pragma once

#include <string>

namespace testing_support {

// A valid PDF with the given number of empty pages (0 gives a document without pages).
void WritePlainPdf(const std::string& path, int pages);

// Runs `qpdf --encrypt userPassword ownerPassword 256 -- source target`; an empty user password
// gives a document that only an owner password protects.
void EncryptPdf(const std::string& source, const std::string& target,
                const std::string& userPassword, const std::string& ownerPassword);

}  // namespace testing_support
