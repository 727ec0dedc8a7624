#ifndef PEGASUS_COMMON_CIMDATETIME_H
#define PEGASUS_COMMON_CIMDATETIME_H

#include <Pegasus/Common/String.h>

namespace Pegasus {

// A CIM datetime in its 25-character text form (timestamp
// "yyyymmddhhmmss.mmmmmm+utc" or interval "ddddddddhhmmss.mmmmmm:000").
// The text is kept as given; this client never computes with dates.
// The default value is the zero interval.
class CIMDateTime {
  public:
    CIMDateTime() : text_("00000000000000.000000:000") {}
    // Throws InvalidDateTimeFormatException unless `text` has 25 characters.
    CIMDateTime(const String& text);

    String toString() const { return text_; }
    Boolean isInterval() const;

  private:
    String text_;
};

inline Boolean operator==(const CIMDateTime& left, const CIMDateTime& right) {
    return left.toString() == right.toString();
}

}  // namespace Pegasus

#endif
