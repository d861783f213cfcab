# Our own targets build with every common warning turned into an error.
function(quorvane_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Werror)
endfunction()
