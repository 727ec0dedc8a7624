// The markup scan of the Windows XML backend (xml_parser_xmllite.cpp), kept
// apart from it so that it is built, tested and fuzzed on every platform.
#ifndef PEGASUS_XML_MARKUP_SCAN_H
#define PEGASUS_XML_MARKUP_SCAN_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "xml/xml_errors.h"

namespace Pegasus {
namespace xml {

// Wine's XmlLite lets defects through that the other backend refuses: it
// closes the elements still open when the input ends (a truncated response
// would look complete), and passes unknown or malformed references and bad
// names on as text; it lets an end tag close an element of another name; and
// it reads a character reference to a blank (&#10;) as a space. This pass
// over the bytes as they arrive checks the markup's shape, names and
// references, and says at the end whether (and how) the document was cut.
// The first defect is kept with its line; XmlLite then checks the rest
// (attributes, ...). It also notes, in document order, what every blank of
// the text and of the attribute values XmlLite will report must be, so that
// the blanks XmlLite got wrong can be put right.
// It holds no more than the names of the elements open and one blank per
// blank of the text, and refuses what xml_parser.h refuses: nesting deeper
// than kMaxDepth and markup longer than kMaxMarkupBytes.
class MarkupScan {
  public:
    // The next bytes of the document; nothing more is read after a defect.
    void feed(const char* data, std::size_t size) {
        for (std::size_t i = 0; i < size && !defect_; ++i) step(data[i]);
    }

    // Whether a defect has been found already (the end of input not counted).
    bool failed() const { return defect_; }

    // Replaces each blank of a text (or attribute value) XmlLite reported
    // with the one the document holds there.
    void correctTextBlanks(std::string& text) { correct(text, textBlanks_, textBlanksUsed_); }
    void correctAttributeBlanks(std::string& value) {
        correct(value, attributeBlanks_, attributeBlanksUsed_);
    }

    // The first defect, counting the end of input; false when there is none.
    bool defect(XmlError& kind, std::uint64_t& line) {
        if (!defect_) atEnd();
        if (!defect_) return false;
        kind = kind_;
        line = defectLine_;
        return true;
    }

  private:
    enum class State {
        Text,
        Lt,
        StartName,
        InTag,
        AttrName,
        AfterAttrName,
        AfterEqual,
        AttrValue,
        EmptyEnd,
        EndName,
        AfterEndName,
        Bang,
        Comment,
        Cdata,
        Pi,
        Reference
    };

    static bool nameStart(unsigned char c);
    static bool nameChar(unsigned char c);
    static void correct(std::string& text, const std::string& blanks, std::size_t& used);
    void fail(XmlError kind);
    void failAt(XmlError kind, std::uint64_t line);
    void noteLiteralBlank(char byte, bool inAttribute);
    void openElement();
    void closeElement();
    void checkReference();
    void step(char byte);
    void atEnd();

    State state_ = State::Text;
    State referenceReturn_ = State::Text;
    std::uint64_t line_ = 1;
    std::uint64_t depth_ = 0;
    bool rootClosed_ = false;
    // The name of the tag being read, and of the elements open.
    std::string name_;
    std::vector<std::string> openNames_;
    char quote_ = '"';
    char lastByte_ = 0;
    bool lineFeedAfterCarriageReturn_ = false;
    std::string textBlanks_;
    std::string attributeBlanks_;
    std::size_t textBlanksUsed_ = 0;
    std::size_t attributeBlanksUsed_ = 0;
    std::string bang_;
    std::string marker_;
    std::string reference_;
    bool defect_ = false;
    XmlError kind_ = XmlError::Malformed;
    std::uint64_t defectLine_ = 0;
    // Where the markup being read (tag, comment, instruction) started, and
    // its length so far.
    std::uint64_t markupLine_ = 1;
    std::uint64_t markupBytes_ = 0;
};

}  // namespace xml
}  // namespace Pegasus

#endif
