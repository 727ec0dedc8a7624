#ifndef VORNET_BOUNDED_FILE_H
#define VORNET_BOUNDED_FILE_H

#include <cstddef>
#include <string>

// What ReadBoundedFile found at a path.
enum class BoundedFileResult {
    Read,     // `contents` holds the whole file
    Missing,  // nothing at the path
    Refused,  // something is there but was not read; `fault` says why
};

// Reads the regular file at `path` whole, when it holds at most `limit` bytes. A settings file
// read this way cannot make the module hang on a FIFO or a device, nor hold a huge file in
// memory; a symbolic link to a regular file is followed. Never throws.
BoundedFileResult ReadBoundedFile(const std::string& path, std::size_t limit, std::string& contents,
                                  std::string& fault);

#endif
