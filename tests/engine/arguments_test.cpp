#include <gtest/gtest.h>

#include "engine/compress_job.h"

namespace {

CompressJob Job() {
    CompressJob job;
    job.row = 3;
    job.source = L"/docs/\u4e2d\u6587 report.pdf";
    job.output = L"/docs/50%d off-new.pdf";
    return job;
}

const std::vector<std::string> kFixedHead = {"",
                                             "-dNOPAUSE",
                                             "-dBATCH",
                                             "-dCompatibilityLevel=1.4",
                                             "-sDEVICE=pdfwrite",
                                             "-dPDFSETTINGS=/ebook"};

std::vector<std::string> Expected(std::vector<std::string> tail) {
    std::vector<std::string> all = kFixedHead;
    all.insert(all.end(), tail.begin(), tail.end());
    return all;
}

TEST(BuildArguments, ResolutionReachesImagesAndPercentIsDoubled) {
    CompressJob job = Job();
    job.userPassword = L"";
    EXPECT_EQ(BuildArguments(job, CompressOptions{72}),
              Expected({"-r72", "-dColorImageResolution=72", "-dGrayImageResolution=72",
                        "-sPDFPassword=", "-sOutputFile=/docs/50%%d off-new.pdf",
                        "/docs/\xe4\xb8\xad\xe6\x96\x87 report.pdf"}));
}

TEST(BuildArguments, PasswordsOnlyWhenGiven) {
    CompressJob job = Job();
    std::vector<std::string> args = BuildArguments(job, CompressOptions{150});
    EXPECT_EQ(args.size(), 11u);
    EXPECT_EQ(args[6], "-r150");
    EXPECT_EQ(args[9], "-sOutputFile=/docs/50%%d off-new.pdf");

    job.userPassword = L"secret";
    job.ownerPassword = L"boss";
    args = BuildArguments(job, CompressOptions{300});
    ASSERT_EQ(args.size(), 13u);
    EXPECT_EQ(args[9], "-sPDFPassword=secret");
    EXPECT_EQ(args[10], "-sOwnerPassword=boss");
    EXPECT_EQ(args[12], "/docs/\xe4\xb8\xad\xe6\x96\x87 report.pdf");
}

}  // namespace
