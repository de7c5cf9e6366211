#include "skin/embedded_skin.h"

extern "C" const unsigned char brindle_skin_zip_begin[];
extern "C" const unsigned char brindle_skin_zip_end[];

namespace skin {

const unsigned char* EmbeddedSkinData() {
    return brindle_skin_zip_begin;
}

std::size_t EmbeddedSkinSize() {
    return static_cast<std::size_t>(brindle_skin_zip_end - brindle_skin_zip_begin);
}

}  // namespace skin
