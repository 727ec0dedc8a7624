#include "scripted_server.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#include <nlohmann/json.hpp>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <stdexcept>

#include "capture_files.h"

ScriptedServer::ScriptedServer(const std::string& scriptJson, bool tls) {
    char pattern[] = "/tmp/scripted-server-XXXXXX";
    if (mkdtemp(pattern) == nullptr) throw std::runtime_error("mkdtemp failed");
    directory_ = pattern;
    std::ofstream(directory_ + "/script.json") << scriptJson;
    certificate_ = tls ? directory_ + "/server.pem" : std::string();

    int output[2];
    if (pipe(output) != 0) throw std::runtime_error("pipe failed");
    pid_ = fork();
    if (pid_ == 0) {
        dup2(output[1], STDOUT_FILENO);
        // File names in the script are relative to the captures.
        if (chdir(capture::directory().c_str()) != 0) _exit(126);
        close(output[0]);
        close(output[1]);
        std::string scriptPath = directory_ + "/script.json";
        std::string journalPath = directory_ + "/journal.jsonl";
        std::vector<const char*> arguments = {"python3",   SCRIPTED_SERVER,
                                              "--script",  scriptPath.c_str(),
                                              "--journal", journalPath.c_str()};
        if (tls)
            arguments.insert(arguments.end(), {"--tls", "--certificate-out", certificate_.c_str()});
        arguments.push_back(nullptr);
        execvp("python3", const_cast<char* const*>(arguments.data()));
        _exit(127);
    }
    close(output[1]);
    // Wait for the ready line, not for a while.
    std::string line;
    char c;
    while (read(output[0], &c, 1) == 1 && c != '\n') line += c;
    close(output[0]);
    if (line.rfind("port=", 0) != 0) {
        kill(pid_, SIGTERM);
        waitpid(pid_, nullptr, 0);
        throw std::runtime_error("scripted server did not start: " + line);
    }
    port_ = static_cast<unsigned>(std::stoul(line.substr(5)));
}

ScriptedServer::~ScriptedServer() {
    if (pid_ > 0) {
        kill(pid_, SIGTERM);
        waitpid(pid_, nullptr, 0);
    }
    std::string command = "rm -rf '" + directory_ + "'";
    if (std::system(command.c_str()) != 0) std::perror("cleanup");
}

std::vector<JournalEntry> ScriptedServer::journal() const {
    std::vector<JournalEntry> entries;
    std::ifstream file(directory_ + "/journal.jsonl");
    std::string line;
    while (std::getline(file, line)) {
        const nlohmann::json entry = nlohmann::json::parse(line);
        entries.push_back({{entry.at("head"), entry.at("body")}, entry.at("conn")});
    }
    return entries;
}
