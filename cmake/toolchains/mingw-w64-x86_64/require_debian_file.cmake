# The Windows build takes these packages from what Debian ships for Linux (sources, headers).
# Where the file is missing, find_package says which Debian package to install.
macro(brocade_require_debian_file package file message)
  if(NOT EXISTS ${file})
    set(${package}_FOUND FALSE)
    set(${package}_NOT_FOUND_MESSAGE "${message}")
    return()
  endif()
endmacro()
