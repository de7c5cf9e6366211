// brindle-langc SOURCE OUTPUT: compiles a language source (UTF-8 text) into the language file
// the program reads.
#include <cstdio>
#include <fstream>
#include <sstream>

#include "platform/text.h"
#include "tools/langc/language_source.h"

namespace {

int Fail(const char* source, const std::string& message) {
    std::fprintf(stderr, "brindle-langc: %s: %s\n", source, message.c_str());
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: brindle-langc SOURCE OUTPUT\n");
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    if (!in)
        return Fail(argv[1], "cannot be read");
    std::stringstream text;
    text << in.rdbuf();

    std::vector<LanguageSection> sections;
    std::vector<LanguageStream> streams;
    std::string error;
    if (!ParseLanguageSource(text.str(), &sections, &error) ||
        !EncodeLanguageSections(sections, &streams, &error))
        return Fail(argv[1], error);
    if (!WriteLanguageFile(platform::Utf8ToWide(argv[2]), streams))
        return Fail(argv[2], "cannot be written");
    return 0;
}
