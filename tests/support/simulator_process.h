#ifndef BROCADE_TEST_SIMULATOR_PROCESS_H
#define BROCADE_TEST_SIMULATOR_PROCESS_H

#include <memory>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "loopback_connection.h"
#include "shell_child.h"
#include "test_environment.h"

// A CIM server simulator (tools/cimsim) started for one test on free loopback ports and stopped
// by process id when the object ends. The scenario is a file of the shipped set or a document
// written for the test; every request the simulator answers is in its journal.
struct SimulatorOptions {
    std::string user;  // empty: no authentication
    std::string password;
    bool allowAnonymous = false;
    // false: instances carry only the typing property qualifiers (EmbeddedObject,
    // EmbeddedInstance), as an OpenPegasus server sends them; true: every property qualifier
    bool propertyQualifiers = false;
    unsigned short httpPort = 0;  // 0: a free one
    // true: the server also listens on a socket file and requires authentication, which a local
    // client passes by OpenPegasus's local authentication (LocalSocket(), LocalAuthDirectory()).
    bool localAuthentication = false;
};

// A scenario file of the shipped set, by file name, e.g. {"sample_estate.json"}.
struct ShippedScenario {
    std::string file;
};

class SimulatorProcess {
  public:
    // `scenario` is a JSON document; a relative "include" in it is resolved against the shipped
    // scenarios' folder.
    explicit SimulatorProcess(const nlohmann::json& scenario, const SimulatorOptions& options = {});
    explicit SimulatorProcess(const ShippedScenario& scenario,
                              const SimulatorOptions& options = {});
    ~SimulatorProcess();
    SimulatorProcess(const SimulatorProcess&) = delete;
    SimulatorProcess& operator=(const SimulatorProcess&) = delete;

    unsigned short HttpPort() const { return httpPort; }
    // What a host hands the module to reach this simulator out-of-band: loopback, the HTTP port
    // (the HTTPS one with `https`) and the account the simulator was started with.
    Vornet::VornetConnection::ConnectionInfo Connection(bool https = false) const {
        return LoopbackConnection(https ? httpsPort : httpPort, user, password, https);
    }

    // The socket file and the directory of its secret files (with localAuthentication).
    std::string LocalSocket() const { return directory + "/cimxml.socket"; }
    std::string LocalAuthDirectory() const { return directory + "/localauth"; }

    // Every journal line written so far, oldest first; without `challenges`, those of the 401s
    // that ask a client to authenticate are left out, so that only requests the server ran remain.
    std::vector<nlohmann::json> Journal(bool challenges = false) const;
    // Journal entries of one operation ("EnumerateInstances", ...), optionally of one class.
    std::vector<nlohmann::json> Requests(const std::string& operation,
                                         const std::string& className = "") const;
    // Ends the server now (a server that has gone away); the journal stays readable.
    void Stop();
    // Stops the process without ending it (a hung server: its ports still accept connections,
    // nothing is answered) until it is stopped.
    void Freeze();
    // Sends a control request (see tools/cimsim/README.md); true when it was accepted.
    bool Control(const nlohmann::json& request) const;

  private:
    void Start(const std::string& scenarioPath, const SimulatorOptions& options);

    const TemporaryDirectory temporary{"cimsim-test"};
    const std::string directory = temporary.path.string();
    std::string journalPath;
    std::string user;
    std::string password;
    std::unique_ptr<ShellChild> process;
    unsigned short httpPort = 0;
    unsigned short httpsPort = 0;
};

// A loopback port on which nothing listens (taken free, then released).
unsigned short UnusedLoopbackPort();

#endif
