#include "scripted_server.h"

#include <signal.h>
#include <stdlib.h>

#include <nlohmann/json.hpp>

#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "capture_files.h"

ScriptedServer::ScriptedServer(const std::string& scriptJson, bool tls) {
    char pattern[] = "/tmp/scripted-server-XXXXXX";
    if (mkdtemp(pattern) == nullptr) throw std::runtime_error("mkdtemp failed");
    directory_ = pattern;
    std::ofstream(directory_ + "/script.json") << scriptJson;
    certificate_ = tls ? directory_ + "/server.pem" : std::string();
    // The shell prints its process id and then becomes the server, which prints "port=N" once it
    // listens. File names in the script are relative to the captures.
    std::string command = "echo $$; cd '" + capture::directory() + "' && exec python3 '" +
                          SCRIPTED_SERVER + "' --script '" + directory_ +
                          "/script.json' --journal '" + directory_ + "/journal.jsonl'";
    if (tls) command += " --tls --certificate-out '" + certificate_ + "'";
    output_ = popen(command.c_str(), "r");
    int processId = 0;
    if (output_ != nullptr && std::fscanf(output_, "%d", &processId) == 1) pid_ = processId;
    if (output_ == nullptr || std::fscanf(output_, " port=%u", &port_) != 1) {
        stop();
        throw std::runtime_error("scripted server did not start");
    }
}

ScriptedServer::~ScriptedServer() { stop(); }

void ScriptedServer::stop() {
    if (pid_ > 0) kill(pid_, SIGTERM);
    pid_ = -1;
    if (output_ != nullptr) pclose(output_);
    output_ = nullptr;
    std::error_code ignored;
    std::filesystem::remove_all(directory_, ignored);
}

std::vector<JournalEntry> ScriptedServer::journal() const {
    std::vector<JournalEntry> entries;
    std::ifstream file(directory_ + "/journal.jsonl");
    for (std::string line; std::getline(file, line);) {
        const nlohmann::json entry = nlohmann::json::parse(line);
        entries.push_back({{entry.at("head"), entry.at("body")}, entry.at("conn")});
    }
    return entries;
}
