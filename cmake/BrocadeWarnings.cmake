# Warnings are errors in our own code; third-party headers come in as system includes.
function(brocade_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Werror)
  if(BROCADE_SANITIZE AND CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    # GCC's flow analysis reports uninitialised reads inside the standard library (std::regex,
    # std::function) that only exist in its sanitizer-instrumented code; warn, don't fail.
    target_compile_options(${target} PRIVATE -Wno-error=maybe-uninitialized)
  endif()
endfunction()
