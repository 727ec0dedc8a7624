#ifndef PEGASUS_COMMON_CIMOBJECTPATH_H
#define PEGASUS_COMMON_CIMOBJECTPATH_H

#include <Pegasus/Common/Array.h>
#include <Pegasus/Common/CIMName.h>
#include <Pegasus/Common/String.h>

#include <memory>
#include <utility>

namespace Pegasus {

class CIMValue;

// One key of an instance path: a name and the key's value as raw text
// (unquoted, unescaped), with the kind of value it holds. A plain value type.
class CIMKeyBinding {
  public:
    enum Type { BOOLEAN, STRING, NUMERIC, REFERENCE };

    CIMKeyBinding() : type_(STRING) {}
    CIMKeyBinding(const CIMName& name, String value, Type type)
        : name_(name), value_(std::move(value)), type_(type) {}
    // Keys made from values: integers are NUMERIC, booleans BOOLEAN ("TRUE" /
    // "FALSE"), char16 / string / datetime STRING, references REFERENCE (the
    // path's text). Throws TypeMismatchException for reals, arrays and nulls.
    CIMKeyBinding(const CIMName& name, const CIMValue& value);

    const CIMName& getName() const { return name_; }
    void setName(const CIMName& name) { name_ = name; }
    // The raw text: `port "1" \ x` for that string key, `12`, `TRUE`, or the
    // referenced path's toString() for a reference key.
    const String& getValue() const { return value_; }
    void setValue(const String& value) { value_ = value; }
    Type getType() const { return type_; }
    void setType(Type type) { type_ = type; }

  private:
    CIMName name_;
    String value_;
    Type type_;
};

// Name of a CIM class or instance: optional host and namespace, a class name
// and, for an instance, its keys. Keys are kept sorted by name
// case-insensitively whenever they are set. A plain value type; copies share
// the contents (and the text form, once made) until one of them is changed.
class CIMObjectPath {
  public:
    CIMObjectPath();
    // Parses the text form `[//HOST/][NAMESPACE:]Class[.key=value,...]`;
    // throws MalformedObjectNameException when it is not one.
    CIMObjectPath(const String& objectName);
    CIMObjectPath(const String& host, const CIMNamespaceName& nameSpace, const CIMName& className,
                  const Array<CIMKeyBinding>& keyBindings = Array<CIMKeyBinding>());
    // The same, taking the keys over rather than copying them (not part of
    // the OpenPegasus API; used by this library's decoder).
    CIMObjectPath(const String& host, const CIMNamespaceName& nameSpace, const CIMName& className,
                  Array<CIMKeyBinding>&& keyBindings);
    CIMObjectPath(const CIMObjectPath&);
    CIMObjectPath& operator=(const CIMObjectPath&);
    ~CIMObjectPath();

    void set(const String& host, const CIMNamespaceName& nameSpace, const CIMName& className,
             const Array<CIMKeyBinding>& keyBindings = Array<CIMKeyBinding>());
    // Same as the parsing constructor, on this object.
    void set(const String& objectName);
    void clear();

    const String& getHost() const;
    void setHost(const String& host);
    const CIMNamespaceName& getNameSpace() const;
    void setNameSpace(const CIMNamespaceName& nameSpace);
    const CIMName& getClassName() const;
    void setClassName(const CIMName& className);
    // In sorted order (case-insensitive by name).
    const Array<CIMKeyBinding>& getKeyBindings() const;
    void setKeyBindings(const Array<CIMKeyBinding>& keyBindings);

    // `//HOST/NAMESPACE:Class.key1="text",key2=42`: the host part only with a
    // host, `NAMESPACE:` whenever there is a host or a namespace; string keys
    // quoted with `\` and `"` escaped; reference keys quoted and escaped once
    // more; numeric and boolean keys as stored.
    String toString() const;

    // Same class, namespace and host (case-insensitively) and the same keys.
    Boolean identical(const CIMObjectPath& other) const;

  private:
    struct Rep;
    std::shared_ptr<Rep> rep_;
    Rep& writable();
    static const std::shared_ptr<Rep>& emptyRep();
};

inline Boolean operator==(const CIMObjectPath& left, const CIMObjectPath& right) {
    return left.identical(right);
}
inline Boolean operator!=(const CIMObjectPath& left, const CIMObjectPath& right) {
    return !left.identical(right);
}

}  // namespace Pegasus

#endif
