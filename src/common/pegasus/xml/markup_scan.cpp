#include "xml/markup_scan.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <iterator>

namespace Pegasus {
namespace xml {

namespace {

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

}  // namespace

bool MarkupScan::nameStart(unsigned char c) {
    return std::isalpha(c) || c == '_' || c == ':' || c >= 0x80;
}
bool MarkupScan::nameChar(unsigned char c) {
    return nameStart(c) || std::isdigit(c) || c == '-' || c == '.';
}

void MarkupScan::fail(XmlError kind) { failAt(kind, line_); }

void MarkupScan::failAt(XmlError kind, std::uint64_t line) {
    if (defect_) return;
    defect_ = true;
    kind_ = kind;
    defectLine_ = line;
}

void MarkupScan::correct(std::string& text, const std::string& blanks, std::size_t& used) {
    for (char& c : text) {
        if (isSpace(c) && used < blanks.size()) c = blanks[used++];
    }
}

// A blank byte of text or of an attribute value; a CR LF pair and a lone
// CR are one line end, as XML reads them. Attribute values read every
// literal blank as a space.
void MarkupScan::noteLiteralBlank(char byte, bool inAttribute) {
    if (lineFeedAfterCarriageReturn_) return;
    if (inAttribute) {
        attributeBlanks_ += ' ';
    } else if (depth_ > 0) {
        textBlanks_ += byte == '\r' ? '\n' : byte;
    }
}

void MarkupScan::openElement() {
    if (rootClosed_) return fail(XmlError::JunkAfterRootElement);
    if (++depth_ > kMaxDepth) return failAt(XmlError::TooDeep, markupLine_);
    openNames_.push_back(name_);
}
void MarkupScan::closeElement() {
    if (depth_ == 0 || openNames_.back() != name_) return fail(XmlError::EndElementMismatch);
    openNames_.pop_back();
    if (--depth_ == 0) rootClosed_ = true;
}

void MarkupScan::checkReference() {
    static const char* const kNames[] = {"lt", "gt", "amp", "quot", "apos"};
    bool valid = std::find(std::begin(kNames), std::end(kNames), reference_) != std::end(kNames);
    if (!valid && reference_.size() > 1 && reference_[0] == '#') {
        bool hex = reference_[1] == 'x';
        std::string digits = reference_.substr(hex ? 2 : 1);
        valid =
            !digits.empty() && std::all_of(digits.begin(), digits.end(), [hex](unsigned char c) {
                return hex ? std::isxdigit(c) != 0 : std::isdigit(c) != 0;
            });
        unsigned long code = valid ? std::strtoul(digits.c_str(), nullptr, hex ? 16 : 10) : 0;
        if (code == '\t' || code == '\n' || code == '\r' || code == ' ') {
            if (referenceReturn_ == State::AttrValue) {
                attributeBlanks_ += static_cast<char>(code);
            } else if (depth_ > 0) {
                textBlanks_ += static_cast<char>(code);
            }
        }
    }
    if (!valid) fail(XmlError::BadReference);
}

void MarkupScan::step(char byte) {
    unsigned char c = static_cast<unsigned char>(byte);
    bool space = isSpace(byte);
    lineFeedAfterCarriageReturn_ = byte == '\n' && lastByte_ == '\r';
    lastByte_ = byte;
    switch (state_) {
        case State::Text:
            if (c == '<') {
                state_ = State::Lt;
                markupLine_ = line_;
                markupBytes_ = 0;
            } else if (c == '&') {
                referenceReturn_ = State::Text;
                reference_.clear();
                state_ = State::Reference;
            } else if (!space && depth_ == 0) {
                fail(rootClosed_ ? XmlError::JunkAfterRootElement : XmlError::Malformed);
            }
            if (space) noteLiteralBlank(byte, false);
            break;
        case State::Lt:
            if (c == '/') {
                state_ = State::EndName;
                name_.clear();
            } else if (c == '!') {
                bang_.clear();
                state_ = State::Bang;
            } else if (c == '?') {
                state_ = State::Pi;
            } else if (nameStart(c)) {
                state_ = State::StartName;
                name_.assign(1, byte);
            } else {
                fail(XmlError::BadStartElement);
            }
            break;
        case State::StartName:
            if (c == '>') {
                openElement();
                state_ = State::Text;
            } else if (c == '/') {
                state_ = State::EmptyEnd;
            } else if (space) {
                state_ = State::InTag;
            } else if (!nameChar(c)) {
                fail(XmlError::BadStartElement);
            } else {
                name_ += byte;
            }
            break;
        case State::InTag:
            if (c == '>') {
                openElement();
                state_ = State::Text;
            } else if (c == '/') {
                state_ = State::EmptyEnd;
            } else if (nameStart(c)) {
                state_ = State::AttrName;
            } else if (!space) {
                fail(XmlError::BadAttribute);
            }
            break;
        case State::AttrName:
            if (c == '=') {
                state_ = State::AfterEqual;
            } else if (space) {
                state_ = State::AfterAttrName;
            } else if (!nameChar(c)) {
                fail(XmlError::BadAttribute);
            }
            break;
        case State::AfterAttrName:
            if (c == '=') {
                state_ = State::AfterEqual;
            } else if (!space) {
                fail(XmlError::BadAttribute);
            }
            break;
        case State::AfterEqual:
            if (c == '"' || c == '\'') {
                quote_ = byte;
                state_ = State::AttrValue;
            } else if (!space) {
                fail(XmlError::BadAttribute);
            }
            break;
        case State::AttrValue:
            if (space) noteLiteralBlank(byte, true);
            if (byte == quote_) {
                state_ = State::InTag;
            } else if (c == '<') {
                fail(XmlError::BadAttribute);
            } else if (c == '&') {
                referenceReturn_ = State::AttrValue;
                reference_.clear();
                state_ = State::Reference;
            }
            break;
        case State::EmptyEnd:
            if (c != '>') return fail(XmlError::BadStartElement);
            openElement();
            closeElement();
            state_ = State::Text;
            break;
        case State::EndName:
            if (name_.empty() ? nameStart(c) : nameChar(c)) {
                name_ += byte;
            } else if (!name_.empty() && (c == '>' || space)) {
                if (c == '>') {
                    closeElement();
                    state_ = State::Text;
                } else {
                    state_ = State::AfterEndName;
                }
            } else {
                fail(XmlError::BadEndElement);
            }
            break;
        case State::AfterEndName:
            if (c == '>') {
                closeElement();
                state_ = State::Text;
            } else if (!space) {
                fail(XmlError::BadEndElement);
            }
            break;
        case State::Bang:
            bang_ += byte;
            if (bang_ == "--") {
                state_ = State::Comment;
                marker_.clear();
            } else if (bang_ == "[CDATA[") {
                state_ = State::Cdata;
                marker_.clear();
            } else if (bang_ == "DOCTYPE") {
                fail(XmlError::Doctype);
            } else if (std::string("--").compare(0, bang_.size(), bang_) != 0 &&
                       std::string("[CDATA[").compare(0, bang_.size(), bang_) != 0 &&
                       std::string("DOCTYPE").compare(0, bang_.size(), bang_) != 0) {
                fail(XmlError::Malformed);
            }
            break;
        case State::Comment:
        case State::Cdata:
        case State::Pi:
            if (state_ == State::Cdata && space) noteLiteralBlank(byte, false);
            marker_ += byte;
            if (marker_.size() > 3) marker_.erase(0, 1);
            if ((state_ == State::Comment && marker_ == "-->") ||
                (state_ == State::Cdata && marker_ == "]]>") ||
                (state_ == State::Pi && marker_.size() >= 2 &&
                 marker_.compare(marker_.size() - 2, 2, "?>") == 0)) {
                if (state_ == State::Cdata && depth_ == 0) return fail(XmlError::Malformed);
                state_ = State::Text;
                marker_.clear();
            }
            break;
        case State::Reference:
            if (c == ';') {
                checkReference();
                state_ = referenceReturn_;
            } else if (reference_.size() >= 12 || space || c == '<' || c == '&') {
                fail(XmlError::BadReference);
            } else {
                reference_ += byte;
            }
            break;
    }
    bool inMarkup = state_ != State::Text && state_ != State::Cdata &&
                    !(state_ == State::Reference && referenceReturn_ == State::Text);
    // The byte that ends the markup is not counted here, hence >=.
    if (inMarkup && ++markupBytes_ >= kMaxMarkupBytes) failAt(XmlError::TooLong, markupLine_);
    if (byte == '\n') ++line_;
}

void MarkupScan::atEnd() {
    switch (state_) {
        case State::Text:
            if (depth_ > 0) {
                fail(XmlError::ElementsStillOpen);
            } else if (!rootClosed_) {
                fail(XmlError::NoRootElement);
            }
            break;
        case State::Lt:
        case State::StartName:
        case State::EmptyEnd:
            fail(XmlError::BadStartElement);
            break;
        case State::InTag:
        case State::AttrName:
        case State::AfterAttrName:
        case State::AfterEqual:
        case State::AttrValue:
            fail(XmlError::BadAttribute);
            break;
        case State::EndName:
        case State::AfterEndName:
            fail(XmlError::BadEndElement);
            break;
        case State::Bang:
        case State::Comment:
            fail(XmlError::BadComment);
            break;
        case State::Cdata:
            fail(XmlError::BadCdata);
            break;
        case State::Pi:
            fail(XmlError::BadProcessingInstruction);
            break;
        case State::Reference:
            fail(XmlError::BadReference);
            break;
    }
}

}  // namespace xml
}  // namespace Pegasus
