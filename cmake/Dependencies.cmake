# Every dependency comes from a Debian package installed by scripts/setup; the Windows build takes
# them from the prefix that scripts/setup-windows builds.
if(WIN32)
    include(${CMAKE_CURRENT_LIST_DIR}/DependenciesWindows.cmake)
    return()
endif()

find_package(PkgConfig REQUIRED)
find_package(Threads REQUIRED)
find_package(GTest REQUIRED)

# libgs-dev ships no pkg-config file: find its header and library directly.
find_path(GS_INCLUDE_DIR ghostscript/iapi.h REQUIRED)
find_library(GS_LIBRARY gs REQUIRED)
add_library(Ghostscript::gs UNKNOWN IMPORTED)
set_target_properties(Ghostscript::gs PROPERTIES IMPORTED_LOCATION ${GS_LIBRARY}
                      INTERFACE_INCLUDE_DIRECTORIES ${GS_INCLUDE_DIR})
pkg_check_modules(QPDF REQUIRED IMPORTED_TARGET libqpdf)
find_package(JPEG REQUIRED)
pkg_check_modules(CURL REQUIRED IMPORTED_TARGET libcurl)
pkg_check_modules(JSONCPP REQUIRED IMPORTED_TARGET jsoncpp)
pkg_check_modules(PUGIXML REQUIRED IMPORTED_TARGET pugixml)
pkg_check_modules(ZIP REQUIRED IMPORTED_TARGET libzip)
pkg_check_modules(GSF REQUIRED IMPORTED_TARGET libgsf-1)
pkg_check_modules(OPENSSL REQUIRED IMPORTED_TARGET openssl)
find_package(Qt6 REQUIRED COMPONENTS Core Gui Widgets)
