// Which local server connectLocal trusts with the secrets of this machine: one that only root or
// this process's user can have started, and only with a file of its own account in its folder.
// Changing owners needs root, as the suite runs; elsewhere those rows are skipped.

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include "client/local_authentication.h"
#include "client/local_server.h"
#include "test_environment.h"

namespace {

using namespace Pegasus;

const uid_t kNobody = 65534;

// A listening Unix socket at `path`; its descriptor.
int ListenAt(const std::string& path) {
    const int descriptor = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
    if (bind(descriptor, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(descriptor, 1) != 0) {
        ADD_FAILURE() << "cannot listen at " << path;
    }
    return descriptor;
}

testing::AssertionResult Refused(const std::function<void()>& attempt, const std::string& reason) {
    try {
        attempt();
    } catch (const LocalSecretRefused& refused) {
        if (std::string(refused.what()).find(reason) != std::string::npos) {
            return testing::AssertionSuccess();
        }
        return testing::AssertionFailure() << "refused: " << refused.what();
    }
    return testing::AssertionFailure() << "not refused";
}

}  // namespace

TEST(LocalServer, aSocketIsTrustedOnlyWhenRootOrThisUserCanHavePutItThere) {
    const TemporaryDirectory temporary("local-server");
    const std::string folder = temporary.path.string();
    const std::string socketPath = folder + "/cimxml.socket";
    const int listening = ListenAt(socketPath);
    EXPECT_EQ(trustedSocketOwner(socketPath), static_cast<long>(geteuid()));
    // Others may write to the folder: only the sticky bit keeps them from replacing the socket.
    chmod(folder.c_str(), 0777);
    EXPECT_TRUE(Refused([&] { trustedSocketOwner(socketPath); }, "others may replace"));
    chmod(folder.c_str(), 01777);
    EXPECT_EQ(trustedSocketOwner(socketPath), static_cast<long>(geteuid()));
    if (geteuid() == 0) {
        // A squatter's socket in /var/tmp is its own.
        ASSERT_EQ(chown(socketPath.c_str(), kNobody, kNobody), 0);
        EXPECT_TRUE(Refused([&] { trustedSocketOwner(socketPath); }, "belongs to user 65534"));
    }
    close(listening);
    const std::string file = folder + "/plain";
    std::ofstream(file) << "x";
    EXPECT_TRUE(Refused([&] { trustedSocketOwner(file); }, "is not a socket"));
}

TEST(LocalServer, aSecretIsReadOnlyFromTheServersOwnFileInItsFolder) {
    const TemporaryDirectory temporary("local-server");
    const std::string folder = temporary.path.string();
    std::ofstream(folder + "/secret") << "right";
    std::ofstream(folder + "/others") << "theirs";
    const long self = static_cast<long>(geteuid());
    // A backslash is a name's own byte here: what is checked must be what is opened.
    EXPECT_TRUE(Refused([&] { localAnswerField("u", folder + "\\secret", folder, self); },
                        "which is not a file in"));
    EXPECT_TRUE(Refused([&] { localAnswerField("u", folder + "/secret", folder, kUnknownOwner); },
                        "whose server's owner is unknown"));
    if (geteuid() == 0) {
        ASSERT_EQ(chown((folder + "/others").c_str(), kNobody, kNobody), 0);
        EXPECT_TRUE(Refused([&] { localAnswerField("u", folder + "/others", folder, self); },
                            "which is not the server's own (owner 65534, server 0)"));
    }
}

TEST(LocalServer, aListeningPortIsTheAccountsThatListensOnIt) {
    if (geteuid() != 0) GTEST_SKIP() << "starting a listener as another user needs root";
    // The shell prints its process id, then becomes the listener, which prints its port.
    FILE* listener = popen(
        "echo $$; exec python3 -c 'import os, signal, socket; os.setgid(65534); os.setuid(65534); "
        "s = socket.create_server((\"127.0.0.1\", 0)); print(s.getsockname()[1], flush=True); "
        "signal.pause()'",
        "r");
    ASSERT_NE(listener, nullptr);
    int processId = 0;
    unsigned port = 0;
    EXPECT_EQ(std::fscanf(listener, "%d %u", &processId, &port), 2);
    EXPECT_EQ(listenerOwner(port), static_cast<long>(kNobody));
    {
        // Root beside it, on another loopback address, does not make the port root's: a client
        // connecting to 127.0.0.1 would still reach nobody's listener.
        const int beside = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<uint16_t>(port));
        address.sin_addr.s_addr = htonl(0x7F000002);
        ASSERT_EQ(bind(beside, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        ASSERT_EQ(listen(beside, 1), 0);
        EXPECT_EQ(listenerOwner(port), kUnknownOwner);
        close(beside);
    }
    if (processId > 0) kill(processId, SIGKILL);
    pclose(listener);
    EXPECT_EQ(listenerOwner(port), kUnknownOwner);
}

// The folder of secrets an operator names belongs to the server the operator names, to no other.
TEST(LocalServer, theSecretsFolderSettingAppliesOnlyToTheNamedServer) {
    const ScopedEnvironment folder("CIMCLIENT_LOCAL_AUTH_DIR", "/srv/secrets");
    {
        const ScopedEnvironment url("CIMCLIENT_LOCAL_URL", "");
        for (const LocalServer& server : localServers()) {
            EXPECT_NE(server.authDirectory, "/srv/secrets") << server.unixSocket << server.port;
        }
    }
    const ScopedEnvironment url("CIMCLIENT_LOCAL_URL", "unix:/srv/cimxml.socket");
    ASSERT_EQ(localServers().size(), 1u);
    EXPECT_EQ(localServers()[0].authDirectory, "/srv/secrets");
}
