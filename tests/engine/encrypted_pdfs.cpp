#include "tests/engine/encrypted_pdfs.h"

#include <spawn.h>
#include <sys/wait.h>

#include <sstream>
#include <stdexcept>
#include <vector>

#include "tests/support/temp_dir.h"

extern char** environ;

namespace testing_support {

void WritePlainPdf(const std::string& path, int pages) {
    std::vector<std::string> objects;
    objects.push_back("<< /Type /Catalog /Pages 2 0 R >>");
    std::string kids;
    for (int i = 0; i < pages; ++i)
        kids += std::to_string(3 + i) + " 0 R ";
    objects.push_back("<< /Type /Pages /Kids [" + kids + "] /Count " + std::to_string(pages) +
                      " >>");
    for (int i = 0; i < pages; ++i)
        objects.push_back("<< /Type /Page /Parent 2 0 R /MediaBox [0 0 200 200] >>");

    std::ostringstream pdf;
    pdf << "%PDF-1.4\n";
    std::vector<std::streamoff> offsets;
    for (size_t i = 0; i < objects.size(); ++i) {
        offsets.push_back(pdf.tellp());
        pdf << i + 1 << " 0 obj\n" << objects[i] << "\nendobj\n";
    }
    const std::streamoff xref = pdf.tellp();
    pdf << "xref\n0 " << objects.size() + 1 << "\n0000000000 65535 f \n";
    for (std::streamoff offset : offsets) {
        char line[21];
        std::snprintf(line, sizeof line, "%010lld 00000 n \n", static_cast<long long>(offset));
        pdf << line;
    }
    pdf << "trailer\n<< /Size " << objects.size() + 1 << " /Root 1 0 R >>\nstartxref\n"
        << xref << "\n%%EOF\n";
    WriteFile(path, pdf.str());
}

void EncryptPdf(const std::string& source, const std::string& target,
                const std::string& userPassword, const std::string& ownerPassword) {
    std::vector<std::string> args = {"qpdf", "--encrypt", userPassword, ownerPassword,
                                     "256",  "--",        source,       target};
    std::vector<char*> argv;
    for (std::string& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (::posix_spawnp(&pid, "qpdf", nullptr, nullptr, argv.data(), environ) != 0)
        throw std::runtime_error("cannot start qpdf");
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        throw std::runtime_error("qpdf --encrypt failed for " + source);
}

}  // namespace testing_support
