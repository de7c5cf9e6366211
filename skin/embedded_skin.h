// The skin archive built from skin/ and linked into the executable.
#pragma once

#include <cstddef>

namespace skin {

const unsigned char* EmbeddedSkinData();
std::size_t EmbeddedSkinSize();

}  // namespace skin
