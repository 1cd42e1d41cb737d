# The project's own code (not third-party headers) is built with a strict set
# of warnings. They are errors only when TAVRI_WERROR is on, as the test
# script and development builds have it: a user's build with a newer
# compiler never fails on a warning that compiler has learned.
option(TAVRI_WERROR "Treat compiler warnings as errors" OFF)

set(TAVRI_WARNING_FLAGS -Wall -Wextra -Wshadow -Wformat=2 -Wnon-virtual-dtor)
if(TAVRI_WERROR)
  list(APPEND TAVRI_WARNING_FLAGS -Werror)
endif()

function(tavri_warnings target)
  target_compile_options(${target} PRIVATE ${TAVRI_WARNING_FLAGS})
endfunction()
