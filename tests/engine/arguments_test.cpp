#include <gtest/gtest.h>

#include <clocale>
#include <cmath>

#include "engine/compress_job.h"

namespace {

CompressJob Job() {
    CompressJob job;
    job.row = 3;
    job.source = L"/docs/\u4e2d\u6587 report.pdf";
    job.output = L"/docs/50%d off-new.pdf";
    return job;
}

TEST(BuildArguments, ResolutionAndQualityReachEveryImageAndPercentIsDoubled) {
    CompressJob job = Job();
    job.userPassword = L"";
    const std::vector<std::string> expected = {
        "",
        "-dNOPAUSE",
        "-dBATCH",
        "-dSAFER",
        "-dCompatibilityLevel=1.4",
        "-sDEVICE=pdfwrite",
        "-dPDFSETTINGS=/ebook",
        "-r72",
        "-dColorImageResolution=72",
        "-dGrayImageResolution=72",
        "-dMonoImageResolution=300",
        "-dPassThroughJPEGImages=false",
        "-dColorImageDownsampleThreshold=1.0",
        "-dGrayImageDownsampleThreshold=1.0",
        "-dAutoFilterColorImages=false",
        "-dAutoFilterGrayImages=false",
        "-dColorImageFilter=/DCTEncode",
        "-dGrayImageFilter=/DCTEncode",
        "-dMonoImageFilter=/FlateEncode",
        "-sPDFPassword=",
        "-sOutputFile=/docs/50%%d off-new.pdf",
        "-c",
        "<< /BeginPage { pop << /ColorImageDict << /QFactor 1.10 /Blend 1 /HSamples [2 1 1 2] "
        "/VSamples [2 1 1 2] >> /GrayImageDict << /QFactor 1.10 /Blend 1 /HSamples [2 1 1 2] "
        "/VSamples [2 1 1 2] >> >> setdistillerparams } >> setpagedevice",
        "-f",
        "/docs/\xe4\xb8\xad\xe6\x96\x87 report.pdf"};
    EXPECT_EQ(BuildArguments(job, CompressOptions{72}), expected);
}

TEST(BuildArguments, PasswordsOnlyWhenGivenAndFinerResolutionsKeepMonochromeFine) {
    CompressJob job = Job();
    std::vector<std::string> args = BuildArguments(job, CompressOptions{150});
    EXPECT_EQ(args.size(), 24u);
    EXPECT_EQ(args[19], "-sOutputFile=/docs/50%%d off-new.pdf");

    job.userPassword = L"secret";
    job.ownerPassword = L"boss";
    args = BuildArguments(job, CompressOptions{600});
    ASSERT_EQ(args.size(), 26u);
    EXPECT_EQ(args[10], "-dMonoImageResolution=600");
    EXPECT_EQ(args[19], "-sPDFPassword=secret");
    EXPECT_EQ(args[20], "-sOwnerPassword=boss");
    EXPECT_EQ(args[25], "/docs/\xe4\xb8\xad\xe6\x96\x87 report.pdf");
}

// Finer resolutions get finer JPEG encoding, and the number reaches PostScript with a full stop
// even where the locale writes a comma.
TEST(BuildArguments, QualityFollowsTheResolutionWhateverTheLocale) {
    EXPECT_GT(JpegQualityFactor(72), JpegQualityFactor(150));
    EXPECT_GT(JpegQualityFactor(150), JpegQualityFactor(300));
    EXPECT_DOUBLE_EQ(JpegQualityFactor(10), JpegQualityFactor(36));
    EXPECT_DOUBLE_EQ(JpegQualityFactor(2400), JpegQualityFactor(600));
    // No resolution gets a factor written as 1.00, which Ghostscript reads as its finer default.
    for (int dpi = 36; dpi <= 600; ++dpi)
        EXPECT_GT(std::abs(JpegQualityFactor(dpi) - 1.0), 0.005) << dpi;
    // The locale's name on Linux, then on Windows.
    if (!std::setlocale(LC_NUMERIC, "de_DE.UTF-8") &&
        !std::setlocale(LC_NUMERIC, "German_Germany.1252"))
        GTEST_SKIP() << "no German locale";
    const std::vector<std::string> args = BuildArguments(Job(), CompressOptions{300});
    std::setlocale(LC_NUMERIC, "C");
    EXPECT_NE(args[21].find("/QFactor 0.76 "), std::string::npos) << args[21];
}

}  // namespace
