// Whether a PDF file opens without a password, and whether a typed password opens it. Both go
// through the PDF inspection library; nothing it raises leaves these functions.
#pragma once

#include <string>

// The int that InspectPdf returns.
using PdfInspectionResult = int;
// Opens with an empty password and is not encrypted, or the library failed unexpectedly.
inline constexpr PdfInspectionResult kPdfOpensFreely = 0;
// Encrypted and does not open with an empty password, or the library reported a runtime error.
inline constexpr PdfInspectionResult kPdfNeedsPassword = 1;
// Opens with an empty password but is encrypted: only an owner password is set.
inline constexpr PdfInspectionResult kPdfOwnerPasswordOnly = 2;
// Does not open, but no password would help: damaged (Ghostscript may still repair it), missing,
// or not a PDF at all.
inline constexpr PdfInspectionResult kPdfDamaged = 3;

PdfInspectionResult InspectPdf(const std::wstring& path);

// True when the candidate opens the document at path. An empty candidate is checked like any
// other and is accepted when the document opens without a password.
bool VerifyPassword(const std::wstring& candidate, const std::wstring& path);
