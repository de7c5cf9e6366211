# The Windows build's libraries, from the prefix that scripts/setup-windows builds
# (BRINDLE_WINDOWS_PREFIX): static libraries, except Ghostscript, which is a DLL. They get the
# target names the Linux build's pkg-config modules have, so the folders link them the same way.
if(NOT BRINDLE_WINDOWS_PREFIX)
    message(FATAL_ERROR "BRINDLE_WINDOWS_PREFIX must name the prefix scripts/setup-windows built")
endif()
list(PREPEND CMAKE_PREFIX_PATH ${BRINDLE_WINDOWS_PREFIX})
# Some packages name their own dependencies bare (qpdf: jpeg), to be found in the prefix.
link_directories(${BRINDLE_WINDOWS_PREFIX}/lib)

find_package(Threads REQUIRED)
find_package(GTest CONFIG REQUIRED)
include(GoogleTest)

# Ghostscript's DLL lies beside the executables, where Windows looks for it first.
find_path(GS_INCLUDE_DIR ghostscript/iapi.h REQUIRED)
find_library(GS_IMPORT_LIBRARY NAMES libgs.dll.a REQUIRED)
file(GLOB GS_DLL ${BRINDLE_WINDOWS_PREFIX}/bin/libgs*.dll)
add_library(Ghostscript::gs SHARED IMPORTED)
set_target_properties(Ghostscript::gs PROPERTIES IMPORTED_IMPLIB ${GS_IMPORT_LIBRARY}
                      IMPORTED_LOCATION ${GS_DLL} INTERFACE_INCLUDE_DIRECTORIES ${GS_INCLUDE_DIR})
file(COPY ${GS_DLL} DESTINATION ${CMAKE_RUNTIME_OUTPUT_DIRECTORY})
install(FILES ${GS_DLL} DESTINATION ${CMAKE_INSTALL_BINDIR})

set(OPENSSL_USE_STATIC_LIBS ON)
# MinGW's zlib comes as a DLL and a static library; the programs need no DLL but Ghostscript's.
set(ZLIB_USE_STATIC_LIBS ON)
find_package(OpenSSL REQUIRED)
find_package(qpdf CONFIG REQUIRED)
find_package(JPEG REQUIRED)
find_package(CURL CONFIG REQUIRED)
find_package(jsoncpp CONFIG REQUIRED)
find_package(pugixml CONFIG REQUIRED)
find_package(libzip CONFIG REQUIRED)

function(brindle_alias name)
    add_library(${name} INTERFACE IMPORTED)
    set_target_properties(${name} PROPERTIES INTERFACE_LINK_LIBRARIES "${ARGN}")
endfunction()
brindle_alias(PkgConfig::QPDF qpdf::libqpdf)
brindle_alias(PkgConfig::CURL CURL::libcurl)
brindle_alias(PkgConfig::JSONCPP jsoncpp_static)
brindle_alias(PkgConfig::PUGIXML pugixml::pugixml)
brindle_alias(PkgConfig::ZIP libzip::zip)
brindle_alias(PkgConfig::OPENSSL OpenSSL::Crypto)
