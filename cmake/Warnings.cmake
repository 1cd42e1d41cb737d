# The project's own code (not third-party headers) is built with a strict set
# of warnings. They are errors only when TAVRI_WERROR is on, as the test
# script and development builds have it: a user's build with a newer
# compiler never fails on a warning that compiler has learned.
option(TAVRI_WERROR "Treat compiler warnings as errors" OFF)

set(TAVRI_WARNING_FLAGS -Wall -Wextra -Wshadow -Wformat=2 -Wnon-virtual-dtor)
# GCC 12 at -O3 reports -Wrestrict inside libstdc++'s own std::string code
# wherever a string is assigned or joined after inlining ("accessing
# 9223372036854775810 or more bytes"): a false positive of that compiler
# release that no change of ours can avoid short of not using std::string.
# It is switched off for GCC 12 only.
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_GREATER_EQUAL 12
   AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
  list(APPEND TAVRI_WARNING_FLAGS -Wno-restrict)
endif()
# MinGW's GCC checks format(printf) attributes against the system runtime's
# printf, which lacks %zu and %lld; the build uses MinGW's own C99 printf
# (__USE_MINGW_ANSI_STDIO), so the formats are checked by the Linux build.
if(WIN32)
  list(APPEND TAVRI_WARNING_FLAGS -Wno-format)
endif()
if(TAVRI_WERROR)
  list(APPEND TAVRI_WARNING_FLAGS -Werror)
endif()

function(tavri_warnings target)
  target_compile_options(${target} PRIVATE ${TAVRI_WARNING_FLAGS})
endfunction()
