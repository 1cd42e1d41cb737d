# The 32-bit Windows build links LZO and zstd built for the target from
# Debian's source packages; they are built into <build>/deps when the build
# is configured, before the libraries are looked for.
set(TAVRI_WIN32_DEPS ${CMAKE_BINARY_DIR}/deps)
if(NOT EXISTS ${TAVRI_WIN32_DEPS}/lib/liblzo2.a OR NOT EXISTS ${TAVRI_WIN32_DEPS}/lib/libzstd.a)
  message(STATUS "Building LZO and zstd for the target from Debian's source packages")
  execute_process(
    COMMAND ${PROJECT_SOURCE_DIR}/scripts/build-win32-deps.sh ${TAVRI_WIN32_DEPS}
    RESULT_VARIABLE deps_result)
  if(NOT deps_result EQUAL 0)
    message(FATAL_ERROR "scripts/build-win32-deps.sh failed")
  endif()
endif()

# printf and its kin with the C99 conversions (%zu, %lld) the code uses,
# rather than the older system runtime's own set.
add_compile_definitions(__USE_MINGW_ANSI_STDIO=1 WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601)
