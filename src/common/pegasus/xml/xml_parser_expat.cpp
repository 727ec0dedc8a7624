// XmlParser over expat: a push parser, so the body is parsed as the transport
// receives it and never held whole.
#include <expat.h>

#include <cstring>
#include <exception>
#include <string>
#include <vector>

#include "xml_errors.h"
#include "xml_parser.h"

namespace Pegasus {
namespace xml {

class XmlParser::Backend {
  public:
    explicit Backend(XmlHandler& handler) : handler_(handler) {
        // The body is read as UTF-8 whatever its declaration says, as the
        // server's Content-Type promises.
        parser_ = XML_ParserCreate("UTF-8");
        if (parser_ == nullptr) throw std::bad_alloc();
        XML_SetUserData(parser_, this);
        XML_SetElementHandler(parser_, &Backend::onStart, &Backend::onEnd);
        XML_SetCharacterDataHandler(parser_, &Backend::onText);
        XML_SetStartDoctypeDeclHandler(parser_, &Backend::onDoctype);
    }
    ~Backend() { XML_ParserFree(parser_); }

    void feed(const char* data, std::size_t size) {
        if (declarationSeen_) {
            parse(data, size, false);
            return;
        }
        // Whitespace before the declaration is tolerated (and counted in
        // line numbers); expat itself would refuse it. Only the first bytes
        // of the declaration are held until it is decided.
        static const char declaration[] = "<?xml";
        const std::size_t declarationSize = sizeof declaration - 1;
        while (prefix_.empty() && size > 0 &&
               (*data == ' ' || *data == '\t' || *data == '\r' || *data == '\n')) {
            if (*data == '\n') ++skippedLines_;
            ++data;
            --size;
        }
        std::size_t take = std::min(size, declarationSize - prefix_.size());
        prefix_.append(data, take);
        data += take;
        size -= take;
        if (prefix_.compare(0, prefix_.size(), declaration, prefix_.size()) != 0) {
            throwXmlError(XmlError::MissingDeclaration, 1);
        }
        if (prefix_.size() < declarationSize) return;
        declarationSeen_ = true;
        parse(prefix_.data(), prefix_.size(), false);
        parse(data, size, false);
    }

    void finish() {
        if (!declarationSeen_) throwXmlError(XmlError::MissingDeclaration, 1);
        parse("", 0, true);
    }

    std::uint64_t line() const { return XML_GetCurrentLineNumber(parser_) + skippedLines_; }

  private:
    void parse(const char* data, std::size_t size, bool isFinal) {
        // expat copies what it is given into a buffer of its own: small
        // slices keep that buffer small and in cache, however large the
        // piece (a whole 60 MB body would be copied whole).
        const std::size_t slice = 64 * 1024;
        do {
            std::size_t now = std::min(size, slice);
            bool last = isFinal && now == size;
            XML_Status status = XML_Parse(parser_, data, static_cast<int>(now), last);
            if (failure_) std::rethrow_exception(failure_);
            if (status != XML_STATUS_OK) report(XML_GetErrorCode(parser_));
            data += now;
            size -= now;
        } while (size > 0);
    }

    // The kind of a token expat found broken, judged from its first bytes.
    XmlError brokenToken() const {
        int offset = 0;
        int size = 0;
        const char* context = XML_GetInputContext(parser_, &offset, &size);
        if (context == nullptr || offset >= size) return XmlError::Malformed;
        std::string token(context + offset, static_cast<size_t>(size - offset));
        if (token.compare(0, 4, "<!--") == 0) return XmlError::BadComment;
        if (token.compare(0, 9, "<![CDATA[") == 0) return XmlError::BadCdata;
        if (token.compare(0, 2, "<?") == 0) return XmlError::BadProcessingInstruction;
        if (token.compare(0, 2, "</") == 0) return XmlError::BadEndElement;
        if (token[0] == '&') return XmlError::BadReference;
        if (token[0] == '<') {
            size_t nameEnd = token.find_first_of(" \t\r\n/>", 1);
            bool hasName = nameEnd != 1 && nameEnd != std::string::npos;
            return hasName ? XmlError::BadAttribute : XmlError::BadStartElement;
        }
        return XmlError::Malformed;
    }

    [[noreturn]] void report(XML_Error code) {
        XmlError kind = XmlError::Malformed;
        switch (code) {
            case XML_ERROR_TAG_MISMATCH:
                kind = XmlError::EndElementMismatch;
                break;
            case XML_ERROR_NO_ELEMENTS:
                kind = depth_ > 0 ? XmlError::ElementsStillOpen : XmlError::NoRootElement;
                break;
            case XML_ERROR_UNCLOSED_TOKEN:
            case XML_ERROR_PARTIAL_CHAR:
            case XML_ERROR_INVALID_TOKEN:
            case XML_ERROR_UNCLOSED_CDATA_SECTION:
                kind = brokenToken();
                break;
            case XML_ERROR_DUPLICATE_ATTRIBUTE:
                kind = XmlError::BadAttribute;
                break;
            case XML_ERROR_UNDEFINED_ENTITY:
            case XML_ERROR_BAD_CHAR_REF:
            case XML_ERROR_RECURSIVE_ENTITY_REF:
            case XML_ERROR_ASYNC_ENTITY:
            case XML_ERROR_BINARY_ENTITY_REF:
            case XML_ERROR_ATTRIBUTE_EXTERNAL_ENTITY_REF:
                kind = XmlError::BadReference;
                break;
            case XML_ERROR_JUNK_AFTER_DOC_ELEMENT:
                kind = XmlError::JunkAfterRootElement;
                break;
            case XML_ERROR_MISPLACED_XML_PI:
                kind = XmlError::BadProcessingInstruction;
                break;
            case XML_ERROR_UNKNOWN_ENCODING:
            case XML_ERROR_INCORRECT_ENCODING:
                kind = XmlError::BadEncoding;
                break;
            case XML_ERROR_ABORTED:
                kind = doctype_ ? XmlError::Doctype : XmlError::Malformed;
                break;
            default:
                break;
        }
        throwXmlError(kind, line());
    }

    // Exceptions must not cross expat's C frames: the first one is kept,
    // expat is stopped, and parse() rethrows it.
    template <class Call>
    void guarded(Call call) {
        if (failure_) return;
        try {
            call();
        } catch (...) {
            failure_ = std::current_exception();
            XML_StopParser(parser_, XML_FALSE);
        }
    }

    static void XMLCALL onStart(void* self, const XML_Char* name, const XML_Char** attributes) {
        Backend& backend = *static_cast<Backend*>(self);
        ++backend.depth_;
        backend.guarded([&] {
            std::vector<XmlAttribute>& list = backend.attributes_;
            list.clear();
            for (const XML_Char** attribute = attributes; *attribute != nullptr; attribute += 2) {
                list.push_back({attribute[0], attribute[1]});
            }
            backend.handler_.startElement(name, list.data(), list.size());
        });
    }

    static void XMLCALL onEnd(void* self, const XML_Char* name) {
        Backend& backend = *static_cast<Backend*>(self);
        --backend.depth_;
        backend.guarded([&] { backend.handler_.endElement(name); });
    }

    static void XMLCALL onText(void* self, const XML_Char* text, int length) {
        Backend& backend = *static_cast<Backend*>(self);
        backend.guarded([&] {
            backend.handler_.characters(std::string_view(text, static_cast<size_t>(length)));
        });
    }

    // No server may make the client expand entities of its own making.
    static void XMLCALL onDoctype(void* self, const XML_Char*, const XML_Char*, const XML_Char*,
                                  int) {
        Backend& backend = *static_cast<Backend*>(self);
        backend.doctype_ = true;
        XML_StopParser(backend.parser_, XML_FALSE);
    }

    XmlHandler& handler_;
    XML_Parser parser_ = nullptr;
    std::exception_ptr failure_;
    std::vector<XmlAttribute> attributes_;
    std::string prefix_;
    bool declarationSeen_ = false;
    bool doctype_ = false;
    std::uint64_t skippedLines_ = 0;
    long depth_ = 0;
};

XmlParser::XmlParser(XmlHandler& handler) : backend_(std::make_unique<Backend>(handler)) {}
XmlParser::~XmlParser() = default;
void XmlParser::feed(const char* data, std::size_t size) { backend_->feed(data, size); }
void XmlParser::finish() { backend_->finish(); }
std::uint64_t XmlParser::line() const { return backend_->line(); }

}  // namespace xml
}  // namespace Pegasus
