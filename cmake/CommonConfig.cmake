# One interface target that carries the warnings, Qt's strictness defines and
# the optional sanitizers; every target of the project links it.
add_library(quorvane_options INTERFACE)

target_compile_options(quorvane_options INTERFACE -Wall -Wextra -Wpedantic)
target_compile_definitions(quorvane_options INTERFACE
    QT_NO_CAST_TO_ASCII
    QT_NO_CAST_FROM_BYTEARRAY
    QT_NO_URL_CAST_FROM_STRING
    QT_NO_NARROWING_CONVERSIONS_IN_CONNECT
    QT_NO_FOREACH
    QUORVANE_VERSION="${PROJECT_VERSION}")

if(QUORVANE_SANITIZE)
    set(_sanitize -fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
    target_compile_options(quorvane_options INTERFACE ${_sanitize})
    target_link_options(quorvane_options INTERFACE ${_sanitize})
endif()

# The fuzz build: every target gets the coverage instrumentation libFuzzer
# steers by, with the same two sanitizers; the fuzz programs link libFuzzer.
if(QUORVANE_FUZZ)
    if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
        message(FATAL_ERROR "QUORVANE_FUZZ needs clang: configure with CC=clang CXX=clang++")
    endif()
    set(_fuzz -fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
    target_compile_options(quorvane_options INTERFACE ${_fuzz})
    target_link_options(quorvane_options INTERFACE -fsanitize=address,undefined)
endif()
