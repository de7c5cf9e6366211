// brindle-fuzz-seeds FOLDER: writes a seed corpus for every fuzz target into FOLDER/<target>,
// made the way the tests make their data: files through the program's own writers, language
// files through the language writer, PDFs by Ghostscript, img2pdf and qpdf, the skins the
// program and the tests ship.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "i18n/language_file.h"
#include "platform/profile.h"
#include "platform/registry.h"
#include "platform/text.h"
#include "tests/engine/pdf_fixtures.h"
#include "tests/i18n/language_test_support.h"
#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using testing_support::ReadFile;

class Corpus {
  public:
    Corpus(const std::string& root, const std::string& target) : folder_(root + "/" + target) {
        fs::create_directories(folder_);
    }
    void Add(const std::string& bytes) {
        testing_support::WriteFile(folder_ + "/seed-" + std::to_string(++count_), bytes);
    }

  private:
    std::string folder_;
    int count_ = 0;
};

std::string Fields(const std::vector<std::string>& fields) {
    std::string joined;
    for (size_t i = 0; i < fields.size(); ++i)
        joined += (i ? std::string(1, '\0') : "") + fields[i];
    return joined;
}

void IniSeeds(const std::string& root) {
    Corpus corpus(root, "ini");
    const std::string path = fuzz::Home() + "/seed.ini";
    const std::wstring wpath = platform::Utf8ToWide(path);
    WritePrivateProfileStringW(L"General", L"SaveSamePath", L"1", wpath.c_str());
    WritePrivateProfileStringW(L"General", L"SavePath", L"/home/用户/输出", wpath.c_str());
    WritePrivateProfileStringW(L"General", L"CompressDPI", L"150", wpath.c_str());
    WritePrivateProfileStringW(L"Main", L"HasNewInstaller", L"1", wpath.c_str());
    const std::string written = ReadFile(path);
    corpus.Add(Fields({"General", "SavePath", "/tmp/out", "CompressDPI", written}));
    corpus.Add(Fields({"Main", "HasNewInstaller", "0", "SavePath", written}));
    corpus.Add(Fields({"Partner", "Id", "17", "HideCompanyInfo",
                       "\xEF\xBB\xBF; partner\r\n[Partner]\r\nId = 42\r\nToolbox=\"key\"\r\n"
                       "HideCompanyInfo=1\r\n[partner]\r\nId=dup\r\n"}));
    corpus.Add(
        Fields({"General", "CanUpdate", "-12abc", "canupdate", "[General\nCanUpdate\n=x\n"}));
}

void RegistrySeeds(const std::string& root) {
    Corpus corpus(root, "registry");
    const std::string path = fuzz::Home() + "/seed.reg";
    ::setenv("BRINDLE_USER_REGISTRY", path.c_str(), 1);
    const auto setText = [](const wchar_t* value, const std::wstring& text) {
        SHSetValueW(HKEY_CURRENT_USER, L"Software\\Brindle", value, REG_SZ, text.data(),
                    static_cast<DWORD>(text.size() * sizeof(wchar_t)));
    };
    setText(L"uid", L"0123456789ABCDEF");
    setText(L"AdId", L"12-5");
    setText(L"Quoted", L"a \"quoted\" \\path\\ with\ttab\nand line");
    const DWORD day = 17;
    SHSetValueW(HKEY_CURRENT_USER, L"Software\\Brindle", L"UpdateDay", REG_DWORD, &day, 4);
    const unsigned char blob[] = {0, 1, 0xFE, 0xFF};
    SHSetValueW(HKEY_CURRENT_USER, L"Software\\Brindle", L"Blob", REG_BINARY, blob, 4);
    ::unsetenv("BRINDLE_USER_REGISTRY");
    const std::string hive = ReadFile(path);
    corpus.Add(Fields({"Software\\Brindle", "uid",
                       "\x01"
                       "abc",
                       hive}));
    corpus.Add(Fields({"Software\\Brindle", "UpdateDay", std::string("\x04\x11\0\0\0", 5), hive}));
    corpus.Add(Fields({"software\\brindle", "Quoted", "\x03\x01\x02", hive}));
    corpus.Add(Fields({"Software\\Brindle", "Blob", "", hive}));
}

void LanguageSeeds(const std::string& root) {
    Corpus corpus(root, "language_file");
    testing_support::TempDir dir;
    const std::string message = EncodeLanguageSection({{L"Title", L"提示"}});
    std::vector<LanguageEntry> many;
    for (int i = 0; i < 60; ++i)
        many.emplace_back(L"Key" + std::to_wstring(i), L"值=" + std::to_wstring(i));
    const std::vector<std::string> streams = {
        EncodeLanguageSection({{L"Key1", L"1"}, {L"SizeBytes", L"%d 字节"}}),
        EncodeLanguageSection(many),
        language_test::RawStream(u"Key1=unterminated"),
        language_test::RawStream(u"NoEquals\0Key1=a=b\0", "\x01"),
    };
    for (const std::string& text : streams) {
        corpus.Add("\x01" + text);
        const std::wstring file =
            language_test::WriteFile(dir, {{L"Text", text}, {L"Message", message}});
        corpus.Add("\x00" + ReadFile(platform::WideToUtf8(file)));
    }
}

void FormatSeeds(const std::string& root) {
    Corpus corpus(root, "language_format");
    const auto integer = [](long long v) {
        return std::string("\x00", 1) + std::string(reinterpret_cast<const char*>(&v), 8);
    };
    const auto text = [](const std::string& t) { return "\x03" + t + std::string(1, '\0'); };
    corpus.Add("\x01" + integer(512) + "%d 字节");
    corpus.Add("\x01" + integer(-5) + "压缩失败，错误代码：%d");
    corpus.Add("\x01" + text("报告.pdf") + "无法添加文件“%s”。");
    corpus.Add("\x02" + integer(1LL << 40) + text("x") + "%I64d %-8ls|%5.2s%%");
    corpus.Add("\x01\x02" + std::string(8, '\x40') + "%.3f %e %g");
    corpus.Add("\x01" + integer(0x4E2D) + "%c %hd %hhu %#x %o");
}

void VersionSeeds(const std::string& root) {
    Corpus corpus(root, "version_file");
    corpus.Add(Fields({"1.0.0", "version=2.0.0"}));
    corpus.Add(Fields({"10.0", "version=2.0\r\n"}));
    corpus.Add(Fields({"", "version=\t1.2\n"}));
    corpus.Add(Fields({"1.0", "Version=3.0"}));
}

std::string Answer(const std::string& statusLine, const std::string& headers,
                   const std::string& body) {
    return "HTTP/1.1 " + statusLine + "\r\n" + headers + "Connection: close\r\n\r\n" + body;
}

void HttpSeeds(const std::string& root) {
    Corpus corpus(root, "http_answer");
    const std::string length = "Content-Length: ";
    const std::vector<std::string> answers = {
        Answer("200 OK", length + "15\r\n", "version=2.0.0\r\n"),
        Answer("200 OK", "Transfer-Encoding: chunked\r\n",
               "4\r\nvers\r\n9\r\nion=2.0.0\r\n0\r\n\r\n"),
        Answer("200 OK", length + "1\r\n", "1"),
        Answer("404 Not Found", length + "0\r\n", ""),
        Answer("200 OK", length + "100\r\n", "short"),
        Answer("200 OK", "", "no length, 中文 text until the close"),
        "HTTP/1.1 100 Continue\r\n\r\n" + Answer("200 OK", length + "2\r\n", "17"),
    };
    for (const std::string& answer : answers)
        for (char mode = 0; mode < 4; ++mode)
            corpus.Add(std::string(1, mode) + answer);
}

void SkinSeeds(const std::string& root) {
    Corpus corpus(root, "skin_markup");
    for (const char* folder : {"/skin", "/tests/ui/skins"})
        for (const auto& entry : fs::directory_iterator(BRINDLE_SOURCE_DIR + std::string(folder)))
            if (entry.path().extension() == ".xml")
                corpus.Add(ReadFile(entry.path().string()));
}

void PdfSeeds(const std::string& root) {
    Corpus corpus(root, "pdf_inspect");
    testing_support::TempDir dir;
    const std::string text = dir.File("text.pdf");
    const std::string image = dir.File("image.pdf");
    const std::string locked = dir.File("locked.pdf");
    const std::string ownerOnly = dir.File("owner.pdf");
    engine_test::MakeTextPdf(text, 3);
    engine_test::MakeImagePdf(image, 1, 36);
    engine_test::EncryptPdf(text, locked, "user", "owner", "128 --use-aes=y");
    engine_test::EncryptPdf(image, ownerOnly, "", "owner", "256");
    corpus.Add(Fields({"", ReadFile(text)}));
    corpus.Add(Fields({"", ReadFile(image)}));
    corpus.Add(Fields({"user", ReadFile(locked)}));
    corpus.Add(Fields({"wrong", ReadFile(locked)}));
    corpus.Add(Fields({"x", ReadFile(ownerOnly)}));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: brindle-fuzz-seeds FOLDER\n");
        return 2;
    }
    const std::string root = fs::absolute(argv[1]).string();
    fuzz::Home();
    IniSeeds(root);
    RegistrySeeds(root);
    LanguageSeeds(root);
    FormatSeeds(root);
    VersionSeeds(root);
    HttpSeeds(root);
    SkinSeeds(root);
    PdfSeeds(root);
    return 0;
}
