#include "association_response.h"

#include <fstream>
#include <sstream>
#include <stdexcept>

namespace association_response {

namespace {

std::string capturedBody() {
    const std::string file = PEGASUS_CAPTURES_DIR "/cimserver/enum-CIM_ControlledBy-conn1.s2c";
    std::ifstream in(file, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    const std::string capture = bytes.str();
    const size_t start = capture.find("<?xml");
    const size_t end = capture.find("</CIM>");
    if (start == std::string::npos || end == std::string::npos) {
        throw std::runtime_error("no CIM-XML body in " + file);
    }
    return capture.substr(start, end + 6 - start);
}

void replaceAll(std::string& text, const std::string& from, const std::string& to) {
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at)) {
        text.replace(at, from.size(), to);
        at += to.size();
    }
}

}  // namespace

std::string controlledBy(int controllers, int ports) {
    const std::string body = capturedBody();
    const std::string open = "<VALUE.NAMEDINSTANCE>";
    const std::string close = "</VALUE.NAMEDINSTANCE>\n";
    const size_t first = body.find(open);
    const size_t last = body.find(close) + close.size();
    const std::string instance = body.substr(first, last - first);
    std::string out = body.substr(0, first);
    for (int controller = 0; controller < controllers; ++controller) {
        for (int port = 0; port < ports; ++port) {
            std::string copy = instance;
            replaceAll(copy, ">ctl-0<", ">ctl-" + std::to_string(controller) + "<");
            replaceAll(copy, ">port-1<",
                       ">port-" + std::to_string(controller) + "-" + std::to_string(port) + "<");
            out += copy;
        }
    }
    out += body.substr(last);
    return out;
}

std::string controllerPathText(int controller) {
    return "CIM_PortController.CreationClassName=\"CIM_PortController\",DeviceID=\"ctl-" +
           std::to_string(controller) +
           "\",SystemCreationClassName=\"CIM_ComputerSystem\",SystemName=\"switch-A\"";
}

}  // namespace association_response
