# BRINDLE_SANITIZE builds the whole project under the sanitizers:
#   address  AddressSanitizer and UndefinedBehaviorSanitizer, every finding fatal; with clang the
#            code also carries libFuzzer's coverage and the fuzz targets link with libFuzzer
#   thread   ThreadSanitizer
# Empty (the default) builds without them.
set(BRINDLE_SANITIZE "" CACHE STRING "Sanitizers to build with: address, thread or empty")
set_property(CACHE BRINDLE_SANITIZE PROPERTY STRINGS "" address thread)

if(BRINDLE_SANITIZE STREQUAL "address")
    set(sanitizers -fsanitize=address,undefined -fno-sanitize-recover=all)
    if(CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
        # Coverage for libFuzzer, which the sanitized suite does not mind.
        add_compile_options(-fsanitize=fuzzer-no-link)
        set(BRINDLE_FUZZ ON)
    endif()
elseif(BRINDLE_SANITIZE STREQUAL "thread")
    set(sanitizers -fsanitize=thread)
elseif(NOT BRINDLE_SANITIZE STREQUAL "")
    message(FATAL_ERROR "BRINDLE_SANITIZE must be address, thread or empty")
endif()

if(BRINDLE_SANITIZE)
    add_compile_options(${sanitizers} -fno-omit-frame-pointer)
    add_link_options(${sanitizers})
endif()
