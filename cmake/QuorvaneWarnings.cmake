# Our own targets build with every common warning; with QUORVANE_WERROR (CI turns it on) a
# warning is an error. A user's Release or packaging build, with whatever compiler it has,
# is not stopped by a warning that compiler adds.
function(quorvane_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra)
  if(QUORVANE_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()
