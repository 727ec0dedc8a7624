#include "capture_files.h"

#include <fstream>
#include <regex>
#include <sstream>
#include <stdexcept>

#include "failure_text.h"
#include "http_response_reader.h"

using namespace Pegasus;

namespace capture {

std::string directory() { return PEGASUS_CAPTURES_DIR; }

bool exists(const std::string& relativePath) {
    return std::ifstream(directory() + "/" + relativePath).good();
}

std::string readFile(const std::string& relativePath) {
    std::ifstream file(directory() + "/" + relativePath, std::ios::binary);
    if (!file) throw std::runtime_error("missing capture " + relativePath);
    std::ostringstream bytes;
    bytes << file.rdbuf();
    return bytes.str();
}

std::vector<http::HttpResponse> responsesIn(const std::string& bytes) {
    std::vector<http::HttpResponse> responses;
    size_t offset = 0;
    while (offset < bytes.size()) {
        http::HttpResponseReader reader(1ull << 30);
        while (offset < bytes.size() && !reader.feed(&bytes[offset], 1)) ++offset;
        if (offset == bytes.size()) {
            reader.endOfStream();
        } else {
            ++offset;
        }
        responses.push_back(reader.response());
    }
    return responses;
}

std::vector<std::string> detailLines(const std::string& probeOutput) {
    std::vector<std::string> lines;
    std::istringstream stream(probeOutput);
    std::string line;
    while (std::getline(stream, line)) {
        if (line.rfind("INSTANCE", 0) == 0 || line.rfind("  ", 0) == 0) lines.push_back(line);
    }
    return lines;
}

std::vector<std::string> classProbeLines(const std::string& probeOutput) {
    static const std::regex methodCount(" methods=[0-9]+");
    std::vector<std::string> lines;
    std::istringstream stream(probeOutput);
    std::string line;
    while (std::getline(stream, line)) {
        if (line.rfind("  method ", 0) == 0) continue;
        lines.push_back(line.rfind("class ", 0) == 0 ? std::regex_replace(line, methodCount, "")
                                                     : line);
    }
    return lines;
}

std::string thrownType(const std::string& probeOutput) {
    size_t at = probeOutput.find("typeid=");
    if (at == std::string::npos) return "";
    size_t end = probeOutput.find_first_of(" \n", at);
    return probeOutput.substr(at + 7, end - at - 7);
}

std::string valueText(const CIMValue& value) {
    std::string text = std::string("value type=") + cimTypeToString(value.getType()) +
                       " isArray=" + (value.isArray() ? "1" : "0") +
                       " isNull=" + (value.isNull() ? "1" : "0") + " toString=[" +
                       value.toString().utf8() + "]";
    if (value.isArray()) text += " arraySize=" + std::to_string(value.getArraySize());
    return text;
}

namespace {

// Qualifier values may hold line breaks; the probe printed them as they are.
void appendLines(const std::string& text, std::vector<std::string>& lines) {
    std::istringstream stream(text);
    std::string line;
    while (std::getline(stream, line)) lines.push_back(line);
}

std::string flag(bool value) { return value ? "1" : "0"; }

std::string indexText(Uint32 index) { return std::to_string(static_cast<int>(index)); }

void renderQualifier(const CIMConstQualifier& qualifier, const std::string& indent,
                     std::vector<std::string>& lines) {
    appendLines(indent + "qualifier " + qualifier.getName().getString().utf8() + " type=" +
                    cimTypeToString(qualifier.getType()) + " isArray=" + flag(qualifier.isArray()) +
                    " propagated=" + flag(qualifier.getPropagated()) +
                    " value=" + qualifier.getValue().toString().utf8(),
                lines);
}

}  // namespace

void renderClass(const CIMConstClass& theClass, std::vector<std::string>& lines) {
    lines.push_back("class " + theClass.getClassName().getString().utf8() +
                    " super=" + theClass.getSuperClassName().getString().utf8() +
                    " properties=" + std::to_string(theClass.getPropertyCount()) +
                    " qualifiers=" + std::to_string(theClass.getQualifierCount()));
    for (Uint32 i = 0; i < theClass.getQualifierCount(); ++i) {
        renderQualifier(theClass.getQualifier(i), "  ", lines);
    }
    for (Uint32 i = 0; i < theClass.getPropertyCount(); ++i) {
        CIMConstProperty property = theClass.getProperty(i);
        appendLines("  property " + property.getName().getString().utf8() +
                        " type=" + cimTypeToString(property.getType()) +
                        " isArray=" + flag(property.isArray()) +
                        " origin=" + property.getClassOrigin().getString().utf8() +
                        " propagated=" + flag(property.getPropagated()) +
                        " null=" + flag(property.getValue().isNull()) +
                        " value=" + property.getValue().toString().utf8() +
                        " qualifiers=" + std::to_string(property.getQualifierCount()),
                    lines);
        for (Uint32 q = 0; q < property.getQualifierCount(); ++q) {
            renderQualifier(property.getQualifier(q), "    ", lines);
        }
        lines.push_back("    findQualifier(valuemap)=" +
                        indexText(property.findQualifier("valuemap")));
    }
    lines.push_back("findProperty(jobstate)=" + indexText(theClass.findProperty("jobstate")));
}

void renderClassException(const Exception& error, std::vector<std::string>& lines) {
    std::string text = failure_text::exceptionName(error);
    if (auto* cim = dynamic_cast<const CIMException*>(&error)) {
        text += " code=" + std::to_string(cim->getCode());
    }
    appendLines(text + " message=" + error.getMessage().utf8(), lines);
}

void renderInstance(const CIMInstance& instance, std::vector<std::string>& lines) {
    const CIMObjectPath& path = instance.getPath();
    lines.push_back("INSTANCE class=" + instance.getClassName().getString().utf8());
    lines.push_back("  path.toString=[" + path.toString().utf8() + "] host=[" +
                    path.getHost().utf8() + "] ns=[" + path.getNameSpace().getString().utf8() +
                    "]");
    const Array<CIMKeyBinding>& keys = path.getKeyBindings();
    for (Uint32 i = 0; i < keys.size(); ++i) {
        lines.push_back("  key " + keys[i].getName().getString().utf8() + " = [" +
                        keys[i].getValue().utf8() +
                        "] kbtype=" + std::to_string(static_cast<int>(keys[i].getType())));
    }
    lines.push_back("  instanceQualifierCount=" + std::to_string(instance.getQualifierCount()));
    for (Uint32 i = 0; i < instance.getPropertyCount(); ++i) {
        CIMConstProperty property = instance.getProperty(i);
        lines.push_back("  PROP " + property.getName().getString().utf8() +
                        " type=" + cimTypeToString(property.getType()) +
                        " isArray=" + (property.isArray() ? "1" : "0") + " classOrigin=[" +
                        property.getClassOrigin().getString().utf8() +
                        "] propagated=" + (property.getPropagated() ? "1" : "0") +
                        " qualCount=" + std::to_string(property.getQualifierCount()));
        lines.push_back("     " + valueText(property.getValue()));
        for (Uint32 q = 0; q < property.getQualifierCount(); ++q) {
            CIMConstQualifier qualifier = property.getQualifier(q);
            lines.push_back("     QUAL " + qualifier.getName().getString().utf8() + " " +
                            valueText(qualifier.getValue()));
        }
    }
    lines.push_back(
        std::string("  findProperty(deviceid lowercase) -> ") +
        (instance.findProperty("deviceid") == PEG_NOT_FOUND ? "PEG_NOT_FOUND" : "found"));
    lines.push_back(
        std::string("  findProperty(NoSuchProp) -> ") +
        (instance.findProperty("NoSuchProp") == PEG_NOT_FOUND ? "PEG_NOT_FOUND" : "found"));
    Uint32 enabledDefault = instance.findProperty("EnabledDefault");
    if (enabledDefault == PEG_NOT_FOUND) return;
    CIMConstProperty property = instance.getProperty(enabledDefault);
    Uint32 valueMap = property.findQualifier("valuemap");
    lines.push_back(std::string("  EnabledDefault.findQualifier(valuemap) -> ") +
                    (valueMap == PEG_NOT_FOUND ? "PEG_NOT_FOUND" : "found"));
    if (valueMap != PEG_NOT_FOUND) {
        Array<String> entries;
        property.getQualifier(valueMap).getValue().get(entries);
        lines.push_back("  ValueMap size=" + std::to_string(entries.size()) +
                        " first=" + entries[0].utf8());
    }
    Uint16 code = 0;
    property.getValue().get(code);
    lines.push_back("  EnabledDefault get(Uint16) -> " + std::to_string(code));
}

void renderException(const Exception& error, std::vector<std::string>& lines) {
    lines.push_back("  getMessage=[" + error.getMessage().utf8() + "]");
    if (auto* cim = dynamic_cast<const CIMException*>(&error)) {
        lines.push_back("  is CIMException code=" + std::to_string(cim->getCode()));
    } else if (auto* http = dynamic_cast<const CIMClientHTTPErrorException*>(&error)) {
        lines.push_back("  is CIMClientHTTPErrorException code=" + std::to_string(http->getCode()) +
                        " cimError=[" + http->getCIMError().utf8() + "] detail=[" +
                        http->getCIMErrorDetail().utf8() + "]");
    } else {
        lines.push_back("  is " + failure_text::exceptionName(error));
    }
}

void renderMethodResult(const CIMValue& returned, const Array<CIMParamValue>& out,
                        std::vector<std::string>& lines) {
    lines.push_back("  return " + valueText(returned));
    for (Uint32 i = 0; i < out.size(); ++i) {
        lines.push_back("  OUT " + out[i].getParameterName().utf8() + " isTyped=" +
                        (out[i].isTyped() ? "1" : "0") + " " + valueText(out[i].getValue()));
    }
}

}  // namespace capture
