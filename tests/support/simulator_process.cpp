#include "simulator_process.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <stdexcept>

namespace {

// A POST over a fresh loopback connection; the answer's status line is all we need.
bool PostControl(unsigned short port, const std::string& body) {
    const int socketFd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(socketFd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        close(socketFd);
        return false;
    }
    const std::string request =
        "POST /control HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n"
        "Content-Type: application/json\r\nContent-Length: " +
        std::to_string(body.size()) + "\r\n\r\n" + body;
    ssize_t sent = write(socketFd, request.data(), request.size());
    char answer[64] = {};
    const ssize_t received = sent > 0 ? read(socketFd, answer, sizeof answer - 1) : -1;
    close(socketFd);
    return received > 12 && std::string(answer, 12) == "HTTP/1.1 200";
}

std::string ScenarioDirectory() {
    return std::string(BROCADE_SOURCE_DIR) + "/tools/cimsim/scenarios";
}

}  // namespace

unsigned short UnusedLoopbackPort() {
    const int socketFd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    bind(socketFd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    getsockname(socketFd, reinterpret_cast<sockaddr*>(&address), &length);
    close(socketFd);
    return ntohs(address.sin_port);
}

SimulatorProcess::SimulatorProcess(const nlohmann::json& scenario,
                                   const SimulatorOptions& options) {
    nlohmann::json document = scenario;
    if (document.contains("include")) {
        for (auto& included : document["include"]) {
            included = ScenarioDirectory() + "/" + included.get<std::string>();
        }
    }
    const std::string path = directory + "/scenario.json";
    std::ofstream(path) << document.dump(2);
    Start(path, options);
}

SimulatorProcess::SimulatorProcess(const ShippedScenario& scenario,
                                   const SimulatorOptions& options) {
    Start(ScenarioDirectory() + "/" + scenario.file, options);
}

void SimulatorProcess::Start(const std::string& scenarioPath, const SimulatorOptions& options) {
    journalPath = directory + "/journal.jsonl";
    user = options.user;
    password = options.password;
    // The simulator prints one line once it listens: "http=PORT https=PORT".
    std::string command = "exec python3 '" + std::string(BROCADE_SOURCE_DIR) +
                          "/tools/cimsim/cimsim.py' --scenario '" + scenarioPath + "' --journal '" +
                          journalPath + "'";
    if (!options.user.empty()) {
        command += " --user '" + options.user + "' --password '" + options.password + "'";
    }
    if (options.httpPort != 0) command += " --http-port " + std::to_string(options.httpPort);
    if (options.propertyQualifiers) command += " --property-qualifiers";
    if (options.allowAnonymous) command += " --allow-anonymous";
    if (options.localAuthentication) {
        command +=
            " --unix-socket '" + LocalSocket() + "' --local-auth '" + LocalAuthDirectory() + "'";
    }
    process = std::make_unique<ShellChild>(command);
    unsigned int http = 0;
    unsigned int https = 0;
    if (std::fscanf(process->Output(), " http=%u https=%u", &http, &https) != 2) {
        Stop();
        throw std::runtime_error("cimsim did not start");
    }
    httpPort = static_cast<unsigned short>(http);
    httpsPort = static_cast<unsigned short>(https);
}

SimulatorProcess::~SimulatorProcess() { Stop(); }

void SimulatorProcess::Stop() {
    if (process) process->Stop();
}

void SimulatorProcess::Freeze() {
    if (process && process->Pid() > 0) {
        kill(process->Pid(), SIGSTOP);
        // The signal is only sent when kill returns; the request that follows must find the
        // server already stopped.
        int status = 0;
        waitpid(process->Pid(), &status, WUNTRACED);
    }
}

std::vector<nlohmann::json> SimulatorProcess::Journal(bool challenges) const {
    std::vector<nlohmann::json> entries;
    std::ifstream file(journalPath);
    std::string line;
    while (std::getline(file, line)) {
        if (line.empty()) continue;
        nlohmann::json entry = nlohmann::json::parse(line);
        if (challenges || entry.value("result", "") != "http 401") entries.push_back(entry);
    }
    return entries;
}

std::vector<nlohmann::json> SimulatorProcess::Requests(const std::string& operation,
                                                       const std::string& className) const {
    std::vector<nlohmann::json> selected;
    for (const nlohmann::json& entry : Journal()) {
        if (entry.value("operation", "") == operation &&
            (className.empty() || entry.value("class", "") == className)) {
            selected.push_back(entry);
        }
    }
    return selected;
}

bool SimulatorProcess::Control(const nlohmann::json& request) const {
    return PostControl(httpPort, request.dump());
}
