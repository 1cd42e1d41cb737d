# Warnings are errors in the project's own code (not in third-party headers).
function(tavri_warnings target)
  target_compile_options(${target} PRIVATE
    -Wall -Wextra -Wshadow -Wformat=2 -Wnon-virtual-dtor -Werror)
endfunction()
