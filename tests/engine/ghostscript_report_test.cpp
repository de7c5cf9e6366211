#include <gtest/gtest.h>

#include <string>

#include "engine/compress_job.h"
#include "engine/ghostscript_report.h"

namespace {

// Ghostscript 10.0's report on a PDF whose body it cannot read, banner and page messages around it.
constexpr const char* kDamagedReport =
    "GPL Ghostscript 10.0.0 (2022-09-21)\n"
    "Copyright (C) 2022 Artifex Software, Inc.  All rights reserved.\n"
    "This software is supplied under the GNU AGPLv3 and comes with NO WARRANTY:\n"
    "see the file COPYING for details.\n"
    "   **** Error: Couldn't initialise file.\n"
    "               Output may be incorrect.\n"
    "   No pages will be processed (FirstPage > LastPage).\n";

TEST(GhostscriptReportTest, TheFirstErrorLineSaysWhatWentWrong) {
    EXPECT_EQ(FirstMeaningfulLine(kDamagedReport), L"Couldn't initialise file.");
    // A PostScript error names the error and the operator, after remarks that say less.
    EXPECT_EQ(FirstMeaningfulLine("Processing pages 1 through 2.\nPage 1\n"
                                  "Some remark\r\nError: /syntaxerror in --token--\n"
                                  "Operand stack:\n"),
              L"/syntaxerror in --token--");
}

TEST(GhostscriptReportTest, WithoutAnErrorLineTheFirstRemarkCountsAndRoutineAloneIsNothing) {
    EXPECT_EQ(FirstMeaningfulLine("Page 1\n\n  **** This file had errors that were repaired.\n"
                                  "second remark\n"),
              L"This file had errors that were repaired.");
    EXPECT_EQ(FirstMeaningfulLine("GPL Ghostscript 10.0.0\nPage 1\n   ****\n  \n"), L"");
    EXPECT_EQ(FirstMeaningfulLine(""), L"");
}

// The line must fit a tooltip; a cut never splits a character.
TEST(GhostscriptReportTest, ALongLineIsCutOnACharacterBoundary) {
    std::string line = "Error: ";
    for (int i = 0; i < 150; ++i)
        line += "\xE6\x96\x87";  // 文
    const std::wstring text = FirstMeaningfulLine(line);
    EXPECT_EQ(text, std::wstring(66, L'文'));
}

TEST(GhostscriptReportTest, AnEmptyReportFallsBackToTheCodesMeaning) {
    EXPECT_EQ(FailureDetail("Page 1\n", OutputNotCreatableCode()),
              L"no output file could be created");
    EXPECT_EQ(FailureDetail("", NoPagesCode()), L"no page could be read");
    EXPECT_EQ(FailureDetail("", -12345), L"Ghostscript error -12345");
    EXPECT_EQ(FailureDetail(kDamagedReport, NoPagesCode()), L"Couldn't initialise file.");
}

}  // namespace
