#ifndef VORNET_REGULAR_FILE_H
#define VORNET_REGULAR_FILE_H

#include <cstddef>
#include <string>

namespace Vornet {

// How a read of a small configuration file ended.
enum class RegularFileRead {
    kRead,        // *contents holds the whole file
    kMissing,     // nothing at the path (or a directory on the way is missing)
    kNotRegular,  // a directory, FIFO, socket, device or pipe: never read
    kTooLarge,    // more than the limit: no such file is ours
    kFailed,      // present but not readable (permissions, an I/O error)
};

// Reads the regular file at `path` whole into *contents, when it holds at most `maxBytes`.
// Anything else at the path is refused without blocking and without reading a byte past the
// limit, so that a FIFO or a device named by a setting cannot stop the host and a huge file cannot
// take its memory. *contents is changed only on kRead. Never throws but std::bad_alloc.
RegularFileRead ReadRegularFile(const std::string& path, size_t maxBytes, std::string* contents);

// A few words for a log line on why a file was not read ("not a regular file", ...); empty for
// kRead.
std::string RegularFileReadText(RegularFileRead result, size_t maxBytes);

}  // namespace Vornet

#endif
