// Starts scripted_server.py on a free loopback port for one test and stops it by process id.
#ifndef TESTS_PEGASUS_SCRIPTED_SERVER_H
#define TESTS_PEGASUS_SCRIPTED_SERVER_H

#include <sys/types.h>

#include <cstdio>

#include <string>
#include <vector>

#include "capture_files.h"

struct JournalEntry : capture::Request {
    int connection;
};

class ScriptedServer {
  public:
    // `scriptJson`: the steps of scripted_server.py, file names relative to the captures.
    explicit ScriptedServer(const std::string& scriptJson, bool tls = false);
    ~ScriptedServer();
    ScriptedServer(const ScriptedServer&) = delete;
    ScriptedServer& operator=(const ScriptedServer&) = delete;

    unsigned port() const { return port_; }
    // PEM file of the server's self-signed certificate (TLS servers only).
    const std::string& certificate() const { return certificate_; }
    std::vector<JournalEntry> journal() const;

  private:
    void stop();  // ends the server and removes its files

    std::string directory_;
    std::string certificate_;
    FILE* output_ = nullptr;  // the server's standard output
    pid_t pid_ = -1;
    unsigned port_ = 0;
};

#endif
