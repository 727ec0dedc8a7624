#include "server_watch.h"

#include <Pegasus/Client/CIMClientException.h>

#include "log_line.h"

namespace {

// The client's ways of saying that no answer came. OpenPegasus reports a connection the server
// closed as a malformed response; its text is the only mark of it.
bool ServerDidNotAnswer(const Pegasus::Exception& error) {
    if (dynamic_cast<const Pegasus::ConnectionTimeoutException*>(&error) != nullptr ||
        dynamic_cast<const Pegasus::CannotConnectException*>(&error) != nullptr ||
        dynamic_cast<const Pegasus::NotConnectedException*>(&error) != nullptr) {
        return true;
    }
    return dynamic_cast<const Pegasus::CIMClientMalformedHTTPException*>(&error) != nullptr &&
           error.getMessage() == Pegasus::String("Connection closed by CIM Server.");
}

}  // namespace

void ServerWatch::Restart() { failuresInARow = 0; }

void ServerWatch::Answered() { failuresInARow = 0; }

void ServerWatch::Failed(const Pegasus::Exception& error) {
    if (ServerDidNotAnswer(error)) {
        CountFailure();
    } else {
        Answered();
    }
}

void ServerWatch::ConnectFailed() { CountFailure(); }

void ServerWatch::CountFailure() {
    ++failuresInARow;
    if (failuresInARow == kFailuresToGiveUp) {
        VORNET_LOG(1) << "The CIM server did not answer twice in a row; the rest of this "
                         "operation is skipped.";
    }
}
