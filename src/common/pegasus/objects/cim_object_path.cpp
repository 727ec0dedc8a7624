#include <Pegasus/Common/CIMObjectPath.h>
#include <Pegasus/Common/Exception.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "objects/key_order.h"

namespace Pegasus {

struct CIMObjectPath::Rep {
    String host;
    CIMNamespaceName nameSpace;
    CIMName className;
    Array<CIMKeyBinding> keyBindings;
    // The text form, made by the first toString() and kept: a walk turns the
    // same reference into text for every comparison. Set once, by whichever
    // caller finishes first, so that copies read in parallel stay safe.
    mutable std::atomic<const std::string*> text{nullptr};

    Rep() = default;
    Rep(const Rep& other)
        : host(other.host),
          nameSpace(other.nameSpace),
          className(other.className),
          keyBindings(other.keyBindings) {}
    Rep& operator=(const Rep&) = delete;
    ~Rep() { delete text.load(std::memory_order_acquire); }

    void forgetText() { delete text.exchange(nullptr, std::memory_order_acq_rel); }
};

namespace {

char foldAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool nameBefore(const CIMKeyBinding& left, const CIMKeyBinding& right) {
    const std::string& a = left.getName().getString().utf8();
    const std::string& b = right.getName().getString().utf8();
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return static_cast<unsigned char>(foldAscii(x)) < static_cast<unsigned char>(foldAscii(y));
    });
}

void appendQuoted(std::string& out, const std::string& text) {
    out += '"';
    for (char c : text) {
        if (c == '\\' || c == '"') out += '\\';
        out += c;
    }
    out += '"';
}

bool isLegalName(const std::string& name) {
    if (name.empty()) return false;
    for (size_t i = 0; i < name.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(name[i]);
        bool letter = std::isalpha(c) || c == '_' || c >= 0x80;
        if (!(letter || (i > 0 && std::isdigit(c)))) return false;
    }
    return true;
}

bool isNumericText(const std::string& text) {
    size_t i = (!text.empty() && (text[0] == '-' || text[0] == '+')) ? 1 : 0;
    if (i >= text.size()) return false;
    if (text.size() > i + 2 && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
        return std::all_of(text.begin() + i + 2, text.end(),
                           [](char c) { return std::isxdigit(static_cast<unsigned char>(c)); });
    }
    bool digits = false;
    for (; i < text.size(); ++i) {
        char c = text[i];
        if (std::isdigit(static_cast<unsigned char>(c))) {
            digits = true;
        } else if (c != '.' && c != 'e' && c != 'E' && c != '-' && c != '+') {
            return false;
        }
    }
    return digits;
}

class PathParser {
  public:
    explicit PathParser(const std::string& text) : text_(text) {}

    CIMObjectPath parse() {
        std::string rest = text_;
        String host;
        if (rest.compare(0, 2, "//") == 0) {
            size_t slash = rest.find('/', 2);
            if (slash == std::string::npos) fail("missing namespace after host");
            host = String::fromUtf8(rest.substr(2, slash - 2));
            rest = rest.substr(slash + 1);
        }
        CIMNamespaceName nameSpace;
        size_t dot = rest.find('.');
        size_t colon = rest.find(':');
        if (colon != std::string::npos && (dot == std::string::npos || colon < dot)) {
            nameSpace = CIMNamespaceName(String::fromUtf8(rest.substr(0, colon)));
            rest = rest.substr(colon + 1);
            dot = rest.find('.');
        }
        std::string className = rest.substr(0, dot);
        if (!isLegalName(className)) fail("class name " + className + " not a legal CIM name");
        Array<CIMKeyBinding> keys;
        if (dot != std::string::npos) parseKeys(rest.substr(dot + 1), keys);
        return CIMObjectPath(host, nameSpace, CIMName(String::fromUtf8(className)), keys);
    }

  private:
    [[noreturn]] void fail(const std::string& reason) const {
        throw MalformedObjectNameException(String::fromUtf8(text_ + ", reason:\"" + reason + "\""));
    }

    void parseKeys(const std::string& text, Array<CIMKeyBinding>& keys) const {
        size_t position = 0;
        while (true) {
            size_t equals = text.find('=', position);
            if (equals == std::string::npos) fail("invalid key-value pair, missing equal sign");
            std::string name = text.substr(position, equals - position);
            if (!isLegalName(name)) fail("key name " + name + " not a legal CIM name");
            position = equals + 1;
            if (position < text.size() && text[position] == '"') {
                std::string value;
                size_t i = position + 1;
                bool closed = false;
                for (; i < text.size(); ++i) {
                    if (text[i] == '\\' && i + 1 < text.size()) {
                        value += text[++i];
                    } else if (text[i] == '"') {
                        closed = true;
                        break;
                    } else {
                        value += text[i];
                    }
                }
                if (!closed) fail("invalid key-value pair, missing quote in key value");
                keys.append(CIMKeyBinding(
                    CIMName(String::fromUtf8(name)), String::fromUtf8(value),
                    looksLikeReference(value) ? CIMKeyBinding::REFERENCE : CIMKeyBinding::STRING));
                position = i + 1;
            } else {
                size_t end = text.find(',', position);
                std::string value = text.substr(
                    position, end == std::string::npos ? std::string::npos : end - position);
                CIMKeyBinding::Type type;
                if (String::equalNoCase(String::fromUtf8(value), "TRUE") ||
                    String::equalNoCase(String::fromUtf8(value), "FALSE")) {
                    type = CIMKeyBinding::BOOLEAN;
                } else if (isNumericText(value)) {
                    type = CIMKeyBinding::NUMERIC;
                } else {
                    fail("invalid key-value pair, value " + value + " is not quoted");
                }
                keys.append(
                    CIMKeyBinding(CIMName(String::fromUtf8(name)), String::fromUtf8(value), type));
                position = end == std::string::npos ? text.size() : end;
            }
            if (position == text.size()) return;
            if (text[position] != ',') fail("invalid key-value pair, missing comma");
            ++position;
        }
    }

    // A quoted value that itself parses as an instance path with keys is a
    // reference key, as OpenPegasus reads it.
    static bool looksLikeReference(const std::string& value) {
        if (value.find('=') == std::string::npos) return false;
        try {
            return PathParser(value).parse().getKeyBindings().size() > 0;
        } catch (const Exception&) {
            return false;
        }
    }

    const std::string& text_;
};

}  // namespace

// Keys nearly always arrive in order (servers send them sorted), so the
// order is checked first; a short list out of order is sorted in place.
void sortKeyBindings(Array<CIMKeyBinding>& keyBindings) {
    const Uint32 count = keyBindings.size();
    Uint32 sortedUpTo = 1;
    while (sortedUpTo < count &&
           !nameBefore(keyBindings[sortedUpTo], keyBindings[sortedUpTo - 1])) {
        ++sortedUpTo;
    }
    if (sortedUpTo >= count) return;
    if (count <= 16) {
        // Insertion sort: stable, and no allocation.
        for (Uint32 i = sortedUpTo; i < count; ++i) {
            for (Uint32 k = i; k > 0 && nameBefore(keyBindings[k], keyBindings[k - 1]); --k) {
                std::swap(keyBindings[k], keyBindings[k - 1]);
            }
        }
        return;
    }
    std::vector<CIMKeyBinding> sorted;
    sorted.reserve(count);
    for (Uint32 i = 0; i < count; ++i) sorted.push_back(std::move(keyBindings[i]));
    std::stable_sort(sorted.begin(), sorted.end(), nameBefore);
    for (Uint32 i = 0; i < count; ++i) keyBindings[i] = std::move(sorted[i]);
}

// Every path made without contents shares this one, so that declaring a path
// to fill in later costs no allocation.
const std::shared_ptr<CIMObjectPath::Rep>& CIMObjectPath::emptyRep() {
    static const std::shared_ptr<Rep> empty = std::make_shared<Rep>();
    return empty;
}

namespace {

std::string textOf(const String& host, const CIMNamespaceName& nameSpace, const CIMName& className,
                   const Array<CIMKeyBinding>& keys) {
    std::string out;
    std::size_t size = host.utf8().size() + nameSpace.getString().utf8().size() +
                       className.getString().utf8().size() + 4;
    for (Uint32 i = 0; i < keys.size(); ++i) {
        // The name, '=' and ',', the value and its quotes, and room for a few escapes.
        size += keys[i].getName().getString().utf8().size() + keys[i].getValue().utf8().size() + 8;
    }
    out.reserve(size);
    if (host.size() > 0) {
        out += "//";
        out += host.utf8();
        out += '/';
    }
    if (host.size() > 0 || !nameSpace.isNull()) {
        out += nameSpace.getString().utf8();
        out += ':';
    }
    out += className.getString().utf8();
    for (Uint32 i = 0; i < keys.size(); ++i) {
        out += i == 0 ? '.' : ',';
        out += keys[i].getName().getString().utf8();
        out += '=';
        if (keys[i].getType() == CIMKeyBinding::STRING ||
            keys[i].getType() == CIMKeyBinding::REFERENCE) {
            appendQuoted(out, keys[i].getValue().utf8());
        } else {
            out += keys[i].getValue().utf8();
        }
    }
    return out;
}

}  // namespace

CIMObjectPath::CIMObjectPath() : rep_(emptyRep()) {}

CIMObjectPath::CIMObjectPath(const String& objectName) : CIMObjectPath() { set(objectName); }

CIMObjectPath::CIMObjectPath(const String& host, const CIMNamespaceName& nameSpace,
                             const CIMName& className, const Array<CIMKeyBinding>& keyBindings)
    : CIMObjectPath(host, nameSpace, className, Array<CIMKeyBinding>(keyBindings)) {}

CIMObjectPath::CIMObjectPath(const String& host, const CIMNamespaceName& nameSpace,
                             const CIMName& className, Array<CIMKeyBinding>&& keyBindings)
    : rep_(std::make_shared<Rep>()) {
    rep_->host = host;
    rep_->nameSpace = nameSpace;
    rep_->className = className;
    rep_->keyBindings = std::move(keyBindings);
    sortKeyBindings(rep_->keyBindings);
}

CIMObjectPath::CIMObjectPath(const CIMObjectPath& other) = default;
CIMObjectPath& CIMObjectPath::operator=(const CIMObjectPath& other) = default;
CIMObjectPath::~CIMObjectPath() = default;

// A change goes to a copy of its own when the contents are shared, so that
// a copy can be changed without touching the original; the kept text goes.
CIMObjectPath::Rep& CIMObjectPath::writable() {
    if (rep_.use_count() > 1) {
        rep_ = std::make_shared<Rep>(*rep_);
    } else {
        rep_->forgetText();
    }
    return *rep_;
}

void CIMObjectPath::set(const String& host, const CIMNamespaceName& nameSpace,
                        const CIMName& className, const Array<CIMKeyBinding>& keyBindings) {
    *this = CIMObjectPath(host, nameSpace, className, keyBindings);
}

void CIMObjectPath::set(const String& objectName) { *this = PathParser(objectName.utf8()).parse(); }

void CIMObjectPath::clear() { rep_ = emptyRep(); }

const String& CIMObjectPath::getHost() const { return rep_->host; }
void CIMObjectPath::setHost(const String& host) { writable().host = host; }
const CIMNamespaceName& CIMObjectPath::getNameSpace() const { return rep_->nameSpace; }
void CIMObjectPath::setNameSpace(const CIMNamespaceName& nameSpace) {
    writable().nameSpace = nameSpace;
}
const CIMName& CIMObjectPath::getClassName() const { return rep_->className; }
void CIMObjectPath::setClassName(const CIMName& className) { writable().className = className; }
const Array<CIMKeyBinding>& CIMObjectPath::getKeyBindings() const { return rep_->keyBindings; }

void CIMObjectPath::setKeyBindings(const Array<CIMKeyBinding>& keyBindings) {
    Rep& rep = writable();
    rep.keyBindings = keyBindings;
    sortKeyBindings(rep.keyBindings);
}

String CIMObjectPath::toString() const {
    const std::string* text = rep_->text.load(std::memory_order_acquire);
    if (text == nullptr) {
        auto made = std::make_unique<std::string>(
            textOf(rep_->host, rep_->nameSpace, rep_->className, rep_->keyBindings));
        const std::string* expected = nullptr;
        if (rep_->text.compare_exchange_strong(expected, made.get(), std::memory_order_acq_rel)) {
            text = made.release();
        } else {
            text = expected;
        }
    }
    return String::fromUtf8(*text);
}

Boolean CIMObjectPath::identical(const CIMObjectPath& other) const {
    const Array<CIMKeyBinding>& mine = rep_->keyBindings;
    const Array<CIMKeyBinding>& theirs = other.rep_->keyBindings;
    if (!String::equalNoCase(rep_->host, other.rep_->host) ||
        rep_->nameSpace != other.rep_->nameSpace || rep_->className != other.rep_->className ||
        mine.size() != theirs.size()) {
        return false;
    }
    for (Uint32 i = 0; i < mine.size(); ++i) {
        if (mine[i].getName() != theirs[i].getName() ||
            mine[i].getValue() != theirs[i].getValue()) {
            return false;
        }
    }
    return true;
}

}  // namespace Pegasus
