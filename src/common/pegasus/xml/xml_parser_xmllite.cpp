// XmlParser on the system's XmlLite (xmllite_reader.h holds the COM side).
//
// XmlLite pulls its input from a stream and is meant to stop with E_PENDING
// where the bytes fed so far end, but Wine's XmlLite (where our Windows tests
// run) loses its place when a token is split that way, and can even spin on
// E_PENDING for ever. So feed() only checks and keeps the bytes, and finish()
// hands XmlLite the whole document: every event is reported during finish().
// The transport streams the body into the decoder, so on Windows this backend
// is the one place that holds a whole response body, for the parser's life.
#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "xml/markup_scan.h"
#include "xml/utf8_check.h"
#include "xml/xml_errors.h"
#include "xml/xml_parser.h"
#include "xml/xmllite_reader.h"

namespace Pegasus {
namespace xml {

namespace {

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// XmlLite's error codes are enumerators of its own (global) XmlError.
const unsigned long kInputEnd = MX_E_INPUTEND;

XmlError kindOf(unsigned long result) {
    switch (result) {
        case WC_E_ELEMENTMATCH:
            return XmlError::EndElementMismatch;
        case WC_E_DTDPROHIBITED:
        case WC_E_DECLDOCTYPE:
            return XmlError::Doctype;
        case WC_E_COMMENT:
            return XmlError::BadComment;
        case WC_E_CDSECT:
        case WC_E_CDSECTEND:
            return XmlError::BadCdata;
        case WC_E_PI:
        case WC_E_XMLDECL:
        case WC_E_QUESTIONMARK:
            return XmlError::BadProcessingInstruction;
        case WC_E_SEMICOLON:
        case WC_E_UNDECLAREDENTITY:
        case WC_E_HEXDIGIT:
        case WC_E_DIGIT:
        case XML_E_INVALID_DECIMAL:
        case XML_E_INVALID_HEXIDECIMAL:
        case XML_E_INVALID_UNICODE:
            return XmlError::BadReference;
        case WC_E_QUOTE:
        case WC_E_EQUAL:
        case WC_E_UNIQUEATTRIBUTE:
            return XmlError::BadAttribute;
        case MX_E_ENCODING:
        case MX_E_ENCODINGSWITCH:
        case MX_E_ENCODINGSIGNATURE:
        case WC_E_ENCNAME:
        case XML_E_INVALIDENCODING:
        case WC_E_XMLCHARACTER:
            return XmlError::BadEncoding;
        default:
            return XmlError::Malformed;
    }
}

}  // namespace

class XmlParser::Backend {
  public:
    explicit Backend(XmlHandler& handler) : handler_(handler) {}
    Backend(const Backend&) = delete;
    Backend& operator=(const Backend&) = delete;

    void feed(const char* data, size_t size) {
        if (failed_) throwXmlError(XmlError::Malformed, line_);
        failed_ = true;  // until this call returns normally
        size_t bad = utf8_.accept(data, size);
        if (bad < size) {
            throwXmlError(
                XmlError::BadEncoding,
                linesSeen_ + 1 + static_cast<std::uint64_t>(std::count(data, data + bad, '\n')));
        }
        scan_.feed(data, size);
        countLines(data, size);
        if (!prologChecked_) {
            // XmlLite accepts a document without a declaration and refuses
            // whitespace before one; we want the opposite of both, so the
            // leading whitespace (and byte order mark) stays here.
            prolog_.append(data, size);
            if (!checkProlog(false)) {
                failed_ = false;
                return;
            }
        } else if (!scan_.failed()) {
            // The scan's defect is what finish() reports: the rest of a
            // refused document is not kept.
            reader_.append(data, size);
        }
        failed_ = false;
    }

    void finish() {
        if (failed_) throwXmlError(XmlError::Malformed, line_);
        failed_ = true;
        if (!utf8_.complete()) throwXmlError(XmlError::BadEncoding, linesSeen_ + 1);
        if (!prologChecked_ && !checkProlog(true)) {
            throwXmlError(XmlError::MissingDeclaration, 1);
        }
        XmlError kind;
        std::uint64_t line;
        if (scan_.defect(kind, line)) throwXmlError(kind, line);
        readDocument();
        failed_ = false;
    }

    std::uint64_t line() const { return line_; }

  private:
    // True once the declaration is known to be there; throws when it is not.
    bool checkProlog(bool atEnd) {
        size_t start = 0;
        while (start < prolog_.size() && isSpace(prolog_[start])) {
            if (prolog_[start] == '\n') ++lineOffset_;
            ++start;
        }
        static const char kDeclaration[] = "<?xml";
        size_t have = prolog_.size() - start;
        size_t compared = std::min<size_t>(have, 5);
        if (prolog_.compare(start, compared, kDeclaration, compared) != 0) {
            throwXmlError(XmlError::MissingDeclaration, 1);
        }
        if (have < 6) {
            if (atEnd) throwXmlError(XmlError::MissingDeclaration, 1);
            lineOffset_ = 0;
            return false;
        }
        if (!isSpace(prolog_[start + 5]) && prolog_[start + 5] != '?') {
            throwXmlError(XmlError::MissingDeclaration, 1);
        }
        reader_.append(prolog_.data() + start, prolog_.size() - start);
        prolog_.clear();
        prologChecked_ = true;
        return true;
    }

    void countLines(const char* data, size_t size) {
        linesSeen_ += static_cast<std::uint64_t>(std::count(data, data + size, '\n'));
    }

    void fail(unsigned long result) {
        UINT line = 0;
        reader_->GetLineNumber(&line);
        std::uint64_t where = line > 0 ? line + lineOffset_ : linesSeen_ + 1;
        // The scan has found every cut and misplaced root already.
        XmlError kind = kindOf(result);
        if (kind == XmlError::Malformed && depth_ == 0 && rootSeen_) {
            kind = XmlError::JunkAfterRootElement;
        }
        throwXmlError(kind, where);
    }

    void readDocument() {
        while (true) {
            XmlNodeType type = XmlNodeType_None;
            HRESULT result = reader_->Read(&type);
            // Wine's XmlLite answers E_PENDING, not S_FALSE, when the input
            // ends in whitespace; the stream has nothing more either way.
            if (result == S_FALSE || result == E_PENDING) {
                if (depth_ > 0 || !rootSeen_) fail(kInputEnd);
                return;
            }
            if (result != S_OK) fail(static_cast<unsigned long>(result));
            UINT line = 0;
            reader_->GetLineNumber(&line);
            line_ = line + lineOffset_;
            switch (type) {
                case XmlNodeType_XmlDeclaration:
                    checkDeclaredEncoding();
                    break;
                case XmlNodeType_Element:
                    startElement();
                    break;
                case XmlNodeType_EndElement:
                    endElement();
                    break;
                case XmlNodeType_Text:
                case XmlNodeType_CDATA:
                case XmlNodeType_Whitespace:
                    if (depth_ > 0) characters();
                    break;
                case XmlNodeType_DocumentType:
                    throwXmlError(XmlError::Doctype, line_);
                default:
                    break;
            }
        }
    }

    void checkDeclaredEncoding() {
        if (reader_->MoveToAttributeByName(L"encoding", nullptr) == S_OK) {
            const wchar_t* value = nullptr;
            UINT length = 0;
            reader_->GetValue(&value, &length);
            std::string name = utf8(value, length);
            std::transform(name.begin(), name.end(), name.begin(),
                           [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
            if (name != "utf-8" && name != "utf8" && name != "us-ascii" && name != "ascii") {
                throwXmlError(XmlError::BadEncoding, line_);
            }
        }
        reader_->MoveToElement();
    }

    std::string qualifiedName() {
        const wchar_t* name = nullptr;
        UINT length = 0;
        reader_->GetQualifiedName(&name, &length);
        return utf8(name, length);
    }

    void startElement() {
        if (depth_ == 0 && rootSeen_) throwXmlError(XmlError::JunkAfterRootElement, line_);
        rootSeen_ = true;
        bool empty = reader_->IsEmptyElement() != FALSE;
        name_ = qualifiedName();
        attributeTexts_.clear();
        for (HRESULT more = reader_->MoveToFirstAttribute(); more == S_OK;
             more = reader_->MoveToNextAttribute()) {
            const wchar_t* value = nullptr;
            UINT length = 0;
            reader_->GetValue(&value, &length);
            attributeTexts_.push_back(qualifiedName());
            attributeTexts_.push_back(utf8(value, length));
            scan_.correctAttributeBlanks(attributeTexts_.back());
        }
        reader_->MoveToElement();
        attributes_.clear();
        for (size_t i = 0; i < attributeTexts_.size(); i += 2) {
            attributes_.push_back(XmlAttribute{attributeTexts_[i], attributeTexts_[i + 1]});
        }
        ++depth_;
        handler_.startElement(name_, attributes_.data(), attributes_.size());
        if (empty) {
            --depth_;
            handler_.endElement(name_);
        }
    }

    void endElement() {
        name_ = qualifiedName();
        --depth_;
        handler_.endElement(name_);
    }

    void characters() {
        const wchar_t* value = nullptr;
        UINT length = 0;
        reader_->GetValue(&value, &length);
        text_ = utf8(value, length);
        scan_.correctTextBlanks(text_);
        if (!text_.empty()) handler_.characters(text_);
    }

    XmlHandler& handler_;
    XmlLiteReader reader_;
    Utf8Check utf8_;
    std::string prolog_;
    bool prologChecked_ = false;
    bool failed_ = false;
    bool rootSeen_ = false;
    int depth_ = 0;
    // Lines of whitespace kept from XmlLite before the declaration.
    std::uint64_t lineOffset_ = 0;
    std::uint64_t linesSeen_ = 0;
    std::uint64_t line_ = 1;
    MarkupScan scan_;
    // Storage the handler's views point into, reused from event to event.
    std::string name_;
    std::string text_;
    std::vector<std::string> attributeTexts_;
    std::vector<XmlAttribute> attributes_;
};

XmlParser::XmlParser(XmlHandler& handler) : backend_(std::make_unique<Backend>(handler)) {}
XmlParser::~XmlParser() = default;

void XmlParser::feed(const char* data, std::size_t size) { backend_->feed(data, size); }
void XmlParser::finish() { backend_->finish(); }
std::uint64_t XmlParser::line() const { return backend_->line(); }

}  // namespace xml
}  // namespace Pegasus
