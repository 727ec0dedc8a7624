#include <Pegasus/Common/CIMName.h>

#include <algorithm>

#include "objects/name_index.h"

namespace Pegasus {

CIMNamespaceName::CIMNamespaceName(const String& name) {
    const std::string& text = name.utf8();
    name_ = (!text.empty() && text[0] == '/') ? String::fromUtf8(text.substr(1)) : name;
}

// The order CIMName's equality agrees with: ASCII letters folded.
bool NameIndex::FoldedLess::operator()(const CIMName& left, const CIMName& right) const {
    const auto fold = [](char c) {
        return static_cast<unsigned char>((c >= 'A' && c <= 'Z') ? c - 'A' + 'a' : c);
    };
    const std::string& a = left.getString().utf8();
    const std::string& b = right.getString().utf8();
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                        [&](char x, char y) { return fold(x) < fold(y); });
}

}  // namespace Pegasus
