#ifndef PEGASUS_COMMON_CHAR16_H
#define PEGASUS_COMMON_CHAR16_H

#include <Pegasus/Common/Config.h>

namespace Pegasus {

// One UTF-16 code unit: the CIM char16 type. A plain value.
class Char16 {
  public:
    Char16() : code_(0) {}
    Char16(Uint16 code) : code_(code) {}
    operator Uint16() const { return code_; }

  private:
    Uint16 code_;
};

}  // namespace Pegasus

#endif
