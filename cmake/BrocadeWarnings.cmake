# Warnings are errors in our own code; third-party headers come in as system includes.
function(brocade_warnings target)
  if(MSVC)
    # C4251: the exported classes (ours and the host's logger) hold and exchange standard library
    # types; that is safe only because host and module come from one compiler and runtime, which
    # the README requires, so the warning says nothing new.
    target_compile_options(${target} PRIVATE /W4 /WX /wd4251)
    return()
  endif()
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Werror)
  if(BROCADE_SANITIZE AND CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    # GCC's flow analysis reports uninitialised reads inside the standard library (std::regex,
    # std::function) that only exist in its sanitizer-instrumented code; warn, don't fail.
    target_compile_options(${target} PRIVATE -Wno-error=maybe-uninitialized)
  endif()
endfunction()
