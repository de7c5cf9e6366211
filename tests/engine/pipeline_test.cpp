// What the compression pipeline promises whatever the file: never a bigger result, a sound
// structure, images at the quality of the chosen resolution, whole pages only, and what the
// document links to and is organised by kept.
#include <gtest/gtest.h>

#include <filesystem>
#include <iterator>
#include <sstream>
#include <vector>

#include "engine/compress_job.h"
#include "engine/compress_pipeline.h"
#include "engine/pdf_inspection.h"
#include "engine/pdf_rewrite.h"
#include "platform/message_window.h"
#include "platform/text.h"
#include "settings/settings.h"
#include "tests/engine/pdf_fixtures.h"
#include "tests/support/temp_dir.h"

using namespace engine_test;
using testing_support::FileExists;
using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::WriteFile;

namespace fs = std::filesystem;

namespace {

class PipelineTest : public testing::Test {
  protected:
    void SetUp() override {
        SettingsStore& settings = GetSettingsStore();
        settings.saveSamePath = 1;
        settings.compressDpi = 300;
        settings.targetBytes = 0;
    }
    CompressResult Compress(const std::string& source) {
        const std::string before = ReadFile(source);
        const CompressResult result =
            CompressFile(0, platform::Utf8ToWide(source), L"", window_.hwnd());
        EXPECT_EQ(ReadFile(source), before) << "source changed: " << source;
        if (result.kind == CompressResult::Kind::Success) {
            EXPECT_LE(fs::file_size(Output(result)), fs::file_size(source)) << source;
        }
        return result;
    }
    static std::string Output(const CompressResult& result) {
        return platform::WideToUtf8(result.output);
    }
    TempDir dir_;
    platform::MessageQueueWindow window_;
};

// The source itself is the best there is: the output is an exact copy, and shows 0%.
TEST_F(PipelineTest, NothingSmallerThanTheSourceGivesAnExactCopy) {
    const std::string source = dir_.File("minimal.pdf");
    MakeMinimalPdf(source);
    const CompressResult result = Compress(source);
    ASSERT_EQ(result.kind, CompressResult::Kind::Success) << result.code;
    EXPECT_EQ(ReadFile(Output(result)), ReadFile(source));
}

// A scan whose JPEG images are already at the chosen resolution still gets smaller, keeps its
// resolution, and comes out with object streams; monochrome images stay fine and JBIG2-coded.
TEST_F(PipelineTest, ImagesAtTheChosenResolutionAreStillReducedAndTheStructurePacked) {
    const std::string scan = dir_.File("scan.pdf"), fax = dir_.File("fax.pdf");
    MakeJpegPdf(scan, 2, 300);
    MakeMonochromePdf(fax);

    const CompressResult result = Compress(scan);
    ASSERT_EQ(result.kind, CompressResult::Kind::Success) << result.code;
    EXPECT_LT(fs::file_size(Output(result)), fs::file_size(scan) * 7 / 10);
    EXPECT_EQ(ImageResolutions(Output(result)), "300 300");
    EXPECT_NE(ReadFile(Output(result)).find("/ObjStm"), std::string::npos);
    EXPECT_EQ(ReadFile(Output(result)).substr(0, 8), "%PDF-1.5");

    GetSettingsStore().compressDpi = 72;
    const CompressResult mono = Compress(fax);
    ASSERT_EQ(mono.kind, CompressResult::Kind::Success) << mono.code;
    const std::string list = Capture("pdfimages -list " + Quote(Output(mono)));
    EXPECT_NE(list.find("jbig2"), std::string::npos) << list;
    EXPECT_GE(std::stoi(ImageResolutions(Output(mono))), 300) << list;
}

// JBIG2 coding loses nothing: where the resolution keeps a black-and-white image as it is, poppler
// reads the same pixels from the result as from the CCITT-coded source, which was bigger.
TEST_F(PipelineTest, MonochromeImagesKeepEveryPixelInJbig2) {
    const std::string fax = dir_.File("fax.pdf");
    MakeMonochromePdf(fax);
    GetSettingsStore().compressDpi = 600;
    const CompressResult result = Compress(fax);
    ASSERT_EQ(result.kind, CompressResult::Kind::Success) << result.code;
    const std::string list = Capture("pdfimages -list " + Quote(Output(result)));
    EXPECT_NE(list.find("jbig2"), std::string::npos) << list;
    EXPECT_LT(fs::file_size(Output(result)), fs::file_size(fax));
    ASSERT_EQ(engine_test::Run("pdfimages " + Quote(fax) + " " + Quote(dir_.File("before")) +
                               " && pdfimages " + Quote(Output(result)) + " " +
                               Quote(dir_.File("after"))),
              0);
    EXPECT_EQ(ReadFile(dir_.File("after-000.pbm")), ReadFile(dir_.File("before-000.pbm")));
}

// The quality that goes with the resolution reaches every page: the same photo on two pages
// comes out the same twice.
TEST_F(PipelineTest, EveryPageGetsTheQualityOfTheResolution) {
    const std::string one = dir_.File("one.pdf"), twice = dir_.File("twice.pdf");
    MakeJpegPdf(one, 1, 150);
    ASSERT_EQ(engine_test::Run("qpdf --empty --pages " + Quote(one) + " 1,1 -- " + Quote(twice)),
              0);
    GetSettingsStore().compressDpi = 72;
    const CompressResult result = Compress(twice);
    ASSERT_EQ(result.kind, CompressResult::Kind::Success) << result.code;
    std::istringstream list(Capture("pdfimages -list " + Quote(Output(result))));
    std::vector<std::string> sizes;
    for (std::string line; std::getline(list, line);) {
        std::istringstream fields(line);
        std::vector<std::string> field{std::istream_iterator<std::string>(fields), {}};
        if (field.size() == 16 && field[0] != "page")
            sizes.push_back(field[14]);
    }
    ASSERT_EQ(sizes.size(), 2u);
    EXPECT_EQ(sizes[0], sizes[1]);
}

TEST_F(PipelineTest, OutlinesLinksAndTextSurvive) {
    const std::string source = dir_.File("linked.pdf");
    MakeLinkedPdf(source);
    const CompressResult result = Compress(source);
    ASSERT_EQ(result.kind, CompressResult::Kind::Success) << result.code;
    const std::string output = Output(result);
    const std::string json = Capture("qpdf --json --json-key=outlines " + Quote(output));
    EXPECT_NE(json.find("Chapter One"), std::string::npos) << json;
    EXPECT_NE(json.find("Chapter Two"), std::string::npos) << json;
    EXPECT_NE(Capture("qpdf --qdf --object-streams=disable " + Quote(output) + " -")
                  .find("https://example.org/"),
              std::string::npos);
    EXPECT_NE(Capture("pdftotext " + Quote(output) + " -").find("Page two"), std::string::npos);
}

std::vector<int> Suspects(const std::string& pdf) {
    return PagesThatMayBeBlank(pdf).value_or(std::vector<int>{});
}

// The check that rejects a rewrite that lost what the original shows.
TEST_F(PipelineTest, InkCheckSeesAPageThatCameOutBlank) {
    const std::string inked = dir_.File("inked.pdf"), copy = dir_.File("copy.pdf"),
                      blank = dir_.File("blank.pdf");
    MakeLinkedPdf(inked);
    MakeLinkedPdf(copy);
    // The same first page, and a second page with nothing on it.
    engine_test::Run("gs -q -dNOPAUSE -dBATCH -sDEVICE=pdfwrite -o " + Quote(blank) +
                     " -c '/Helvetica findfont 20 scalefont setfont 72 700 moveto (Page one) "
                     "show showpage showpage'");
    EXPECT_TRUE(InkKept(inked, "", copy, Suspects(copy), dir_.path()));
    EXPECT_FALSE(InkKept(inked, "", blank, Suspects(blank), dir_.path()));
    // An image that could not be decoded comes out white: the page paints, but nothing shows.
    const std::string white = dir_.File("white.jpg"), imaged = dir_.File("imaged.pdf");
    engine_test::Run("gs -q -sDEVICE=jpeg -r100 -g850x1100 -o " + Quote(white) + " -c showpage");
    engine_test::Run("img2pdf " + Quote(white) + " -o " + Quote(white + ".pdf") +
                     " && qpdf --empty --pages " + Quote(blank) + " 1 " + Quote(white + ".pdf") +
                     " -- " + Quote(imaged));
    EXPECT_FALSE(InkKept(inked, "", imaged, Suspects(imaged), dir_.path()));
    // A page that was blank to begin with may stay blank.
    EXPECT_TRUE(InkKept(blank, "", blank, Suspects(blank), dir_.path()));
}

// A PostScript program that carries a PDF inside is not a PDF; a PDF behind a little white
// space is one, and the interpreter only ever sees it from its header on.
TEST_F(PipelineTest, OnlyWhatBeginsAsAPdfReachesTheInterpreter) {
    const std::string pdf = dir_.File("real.pdf");
    MakeTextPdf(pdf, 1);
    const std::string polyglot = dir_.File("polyglot.pdf"), padded = dir_.File("padded.pdf");
    WriteFile(polyglot,
              "%!PS-Adobe-3.0\n%" + ReadFile(pdf).substr(0, 9) + "(touched) print flush quit\n");
    WriteFile(padded, "\xEF\xBB\xBF \r\n" + ReadFile(pdf));

    const CompressResult refused = Compress(polyglot);
    EXPECT_EQ(refused.kind, CompressResult::Kind::Failure);
    EXPECT_EQ(refused.code, NoPagesCode());
    EXPECT_FALSE(FileExists(dir_.File("polyglot-new.pdf")));
    const CompressResult accepted = Compress(padded);
    ASSERT_EQ(accepted.kind, CompressResult::Kind::Success) << accepted.code;
    EXPECT_TRUE(QpdfCheckPasses(Output(accepted)));
}

// Damage that no password mends is told apart from protection, and the file is tried.
TEST_F(PipelineTest, DamagedIsNotProtected) {
    const std::string text = dir_.File("text.pdf"), rootless = dir_.File("rootless.pdf");
    MakeTextPdf(text, 2);
    std::string bytes = ReadFile(text);
    bytes.replace(bytes.find("/Root 1 0 R"), 11, "/Root 99 0 R");
    WriteFile(rootless, bytes);
    EXPECT_EQ(InspectPdf(platform::Utf8ToWide(rootless)), kPdfDamaged);
    const CompressResult result = Compress(rootless);
    EXPECT_EQ(result.kind, CompressResult::Kind::Damaged);
    EXPECT_FALSE(FileExists(dir_.File("rootless-new.pdf")));
}

// A target size gets the best quality that fits under it; one that cannot be reached is said
// to be missed, and the smallest result is kept.
TEST_F(PipelineTest, TargetSizeIsMetOrSaidToBeMissed) {
    const std::string scan = dir_.File("scan.pdf");
    MakeJpegPdf(scan, 3, 300);
    const std::uint64_t size = fs::file_size(scan);

    GetSettingsStore().targetBytes = size / 4;
    const CompressResult fits = Compress(scan);
    ASSERT_EQ(fits.kind, CompressResult::Kind::Success) << fits.code;
    EXPECT_FALSE(fits.targetMissed);
    EXPECT_LE(fs::file_size(Output(fits)), size / 4);
    EXPECT_GE(fs::file_size(Output(fits)), size / 4 * 85 / 100);

    GetSettingsStore().targetBytes = 2000;
    const CompressResult missed = Compress(scan);
    ASSERT_EQ(missed.kind, CompressResult::Kind::Success) << missed.code;
    EXPECT_TRUE(missed.targetMissed);
    EXPECT_LT(fs::file_size(Output(missed)), fs::file_size(Output(fits)));

    // Where the lossless rewrite is the smallest result, a missed target keeps that one.
    const std::string text = dir_.File("text.pdf");
    MakeMinimalPdf(text, 2000);
    GetSettingsStore().targetBytes = 0;
    const CompressResult best = Compress(text);
    ASSERT_EQ(best.kind, CompressResult::Kind::Success) << best.code;
    GetSettingsStore().targetBytes = 100;
    const CompressResult textMissed = Compress(text);
    ASSERT_EQ(textMissed.kind, CompressResult::Kind::Success) << textMissed.code;
    EXPECT_TRUE(textMissed.targetMissed);
    EXPECT_LE(fs::file_size(Output(textMissed)), fs::file_size(Output(best)));
}

}  // namespace
