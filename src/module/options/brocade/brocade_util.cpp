#include "brocade_util.h"

#include <cstdio>
#include <cstdlib>

#include "log_line.h"
#include "osspecific.h"

namespace Vornet {
namespace Brocade {

namespace {

const char* const kUtilityMarker = "bcu.exe";
const char* const kItemPrefix = "Brocade_";
constexpr int kCommandTimeoutSeconds = 100;

struct UtilityCommand {
    const char* command;
    const char* description;
    const char* itemName;
};

const UtilityCommand kCommandTable[] = {
    {"adapter --list", "Show the adapter of brocade adapter.", "adapter_info"},
    {"port --list", "Show the adapter of brocade port.", "port_adapter_info"},
};

std::string UtilityPath(const char* programFiles) {
#if defined(_WIN32)
    return std::string(programFiles) + "\\Brocade\\Adapter\\Driver\\util\\bcu.exe";
#else
    return std::string(programFiles) + "/Brocade/Adapter/Driver/util/bcu.exe";
#endif
}

const char* ProgramFilesDirectory() {
    const char* programFiles = std::getenv("ProgramFiles");
#if !defined(_WIN32)
    // A POSIX system has no such variable by default; vendor software lives under /opt there.
    if (programFiles == nullptr) {
        programFiles = "/opt";
    }
#endif
    return programFiles;
}

std::string ItemPrefix(size_t index) {
    char digits[24];
    std::snprintf(digits, sizeof digits, "%02zu", index);
    return std::string(kItemPrefix) + digits + "_";
}

}  // namespace

BrocadeUtil::BrocadeUtil() : bcuFound(false) {
    VORNET_LOG(4) << "Calling constructor of BrocadeUtil";
    const char* programFiles = ProgramFilesDirectory();
    if (programFiles == nullptr) {
        return;
    }
    const std::string candidate = UtilityPath(programFiles);
    if (FileExists(candidate)) {
        bcuPath = candidate;
        bcuFound = true;
    }
}

BrocadeUtil::~BrocadeUtil() { VORNET_LOG(4) << "Calling destructor of BrocadeUtil"; }

int BrocadeUtil::GetRawData(std::vector<Vornet::VornetIHV::RawData_>& results) {
    if (!bcuFound) {
        return 2;
    }
    std::string output;
    size_t appended = 0;

    Vornet::VornetIHV::RawData_ adapterRecord;
    const int adapterResult =
        ExcuteCommand(bcuPath, {"adapter", "--list"}, &adapterRecord, &output);
    if (adapterResult == 0) {
        adapterRecord.item_name = ItemPrefix(appended) + adapterRecord.item_name;
        results.push_back(adapterRecord);
        ++appended;
    }
    output.clear();

    Vornet::VornetIHV::RawData_ portRecord;
    const int portResult = ExcuteCommand(bcuPath, {"port", "--list"}, &portRecord, &output);
    if (portResult == 0) {
        portRecord.item_name = ItemPrefix(appended) + portRecord.item_name;
        results.push_back(portRecord);
    }

    if (adapterResult == 0 && portResult == 0) {
        VORNET_LOG(3) << "Exit BrocadeUtil::GetRawData over: results.size() = " << results.size();
        return 0;
    }
    return 3;
}

int BrocadeUtil::ExcuteCommand(std::string program, std::vector<std::string> arguments,
                               Vornet::VornetIHV::RawData_* record, std::string* output) {
    const int result =
        SpawnProcess(program, arguments, kCommandTimeoutSeconds, output, nullptr, std::string());
    // Unquoted, unlike the line the system is given: this is the text the host shows.
    std::string commandLine = program;
    for (const std::string& argument : arguments) {
        commandLine += " " + argument;
    }
    record->command_line = commandLine;
    record->output = *output;
    GetCmdDesc(commandLine, &record->description, &record->item_name);
    VORNET_LOG(4) << "ExcuteCommand:" << commandLine;
    VORNET_LOG(4) << "ExcuteCommand result:" << result;
    return result;
}

int BrocadeUtil::GetCmdDesc(const std::string& commandLine, std::string* description,
                            std::string* itemName) {
    VORNET_LOG(3) << "Enter BrocadeUtil::GetCmdDesc";
    if (commandLine.find(kUtilityMarker) != std::string::npos) {
        for (const UtilityCommand& row : kCommandTable) {
            if (commandLine.find(row.command) != std::string::npos) {
                *description = row.description;
                *itemName = row.itemName;
                break;
            }
        }
    }
    VORNET_LOG(3) << "Exit BrocadeUtil::GetCmdDesc";
    return 0;
}

}  // namespace Brocade
}  // namespace Vornet
