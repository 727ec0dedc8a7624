#ifndef VORNET_SERVER_WATCH_H
#define VORNET_SERVER_WATCH_H

#include <Pegasus/Common/Exception.h>

// Whether the CIM server is still worth asking within one call of the facade. Every user of the
// client reconnects and gives up only its own request; without this, a server that has gone
// away (or hangs with its port still accepting) would cost every walk still to come its own
// connect step or time-out: hours for a large estate.
//
// Two failures in a row to reach the server end the call's CIM work: a connect step that fails,
// or a request that times out or finds its connection closed. Any answer, a CIM error included,
// starts the count again; a connect that succeeds proves nothing (a hung server's port still
// accepts), so it leaves the count as it is.
class ServerWatch {
  public:
    // A new call of the facade: the server is asked again.
    void Restart();
    // A request was answered.
    void Answered();
    // A request failed with `error`: counts when the server did not answer, else as Answered.
    void Failed(const Pegasus::Exception& error);
    // A connect step failed.
    void ConnectFailed();
    // True once the server failed twice in a row: nothing more is sent in this call. The call's
    // first moment of giving up writes one level-1 line.
    bool GivenUp() const { return failuresInARow >= kFailuresToGiveUp; }

  private:
    static constexpr int kFailuresToGiveUp = 2;
    void CountFailure();

    int failuresInARow = 0;
};

#endif
