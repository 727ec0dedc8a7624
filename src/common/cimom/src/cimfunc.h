#ifndef VORNET_CIMFUNC_H
#define VORNET_CIMFUNC_H

#include <Pegasus/Client/CIMClient.h>
#include <Pegasus/Common/Array.h>
#include <Pegasus/Common/CIMInstance.h>
#include <Pegasus/Common/CIMName.h>
#include <Pegasus/Common/CIMObjectPath.h>
#include <Pegasus/Common/CIMProperty.h>
#include <Pegasus/Common/String.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "connection_info.h"
#include "diagnostic_item.h"
#include "diagnostic_service_entry.h"
#include "property_map.h"
#include "server_trust.h"
#include "server_watch.h"
#include "trust_setting.h"
#include "value_maps.h"

// The module's handle on one CIM server and one namespace. Owns the client, connects when it is
// constructed and again on request. Not copyable.
//
// Made with connection information it reaches that remote server; made without, it reaches the
// local CIM server (CIMClient::connectLocal). A connect step makes up to three attempts, each
// failure followed by a 10-second pause.
//
// Threads: one caller at a time, as the facade object that owns it; different objects may be
// used on different threads at once. The client, the value maps and the trust checks it hands
// out belong to it: a pointer taken from it is used on the caller's thread only, and not after a
// Reconnect (which replaces the client) or the object's end.
class CimFunc {
  public:
    explicit CimFunc(const Pegasus::CIMNamespaceName& nameSpace);
    CimFunc(const Pegasus::CIMNamespaceName& nameSpace,
            const Vornet::VornetConnection::ConnectionInfo& info);
    ~CimFunc();
    CimFunc(const CimFunc&) = delete;
    CimFunc& operator=(const CimFunc&) = delete;

    const Pegasus::CIMNamespaceName& GetNameSpace();
    // The connected client, or null when the last connect step failed. Owned here; a Reconnect
    // destroys it, so a pointer taken before one is not used after it.
    Pegasus::CIMClient* GetClient();
    // The client for the next request: the current one, or a new connection when there is none.
    // Null when connecting fails, or when the server watch has given up in this call (then no
    // connect step is made).
    Pegasus::CIMClient* GetConnectedClient();
    // Replaces the client by a new one and connects it: 0 connected, 1 not (client then null).
    // Once the server watch has given up, the client is dropped and no connect step is made.
    int Reconnect();
    // Whether the server is still worth asking in the current call of the facade; every
    // request's outcome and every failed connect step is reported here.
    ServerWatch& GetServerWatch();
    // The value maps of the classes read in the current call. A class is looked up under what
    // is left of the time-out of the request whose answer is being read (see Ask).
    ValueMaps& GetValueMaps();

    // The one way a request reaches the server: takes the client for the next request, sets
    // `timeoutMs` on it, makes `request` and tells the server watch how it went. False, with
    // nothing sent, when there is no client (connecting failed, or the watch has given up). A
    // library exception is reported to the watch and rethrown, for the caller to log and to
    // recover from. Class lookups made while its answer is read share its deadline.
    bool Ask(Pegasus::Uint32 timeoutMs, const std::function<void(Pegasus::CIMClient&)>& request);

    // One call of the facade: the server watch starts afresh, and the value maps read during
    // the call go at its end, so that a live object holds no class texts between calls.
    class Call {
      public:
        explicit Call(CimFunc& cimFunc);
        ~Call();
        Call(const Call&) = delete;
        Call& operator=(const Call&) = delete;

      private:
        CimFunc& cimFunc;
    };

    // --- Reading instances. None of these makes a request.

    // Fills each key of `properties` with the text of the instance's property of that name,
    // translated through its ValueMap/Values qualifiers where it has both. A missing property
    // keeps its value (level-2 warning); a library error costs only that property.
    static void GetProperties(const Pegasus::CIMInstance& instance, PropertyMap& properties);
    // The same, except that a property the instance carries without ValueMap and Values, and
    // without any qualifier but the typing ones (EmbeddedObject, EmbeddedInstance), takes both
    // from its declaration in the instance's class: the server kept its qualifiers off the
    // instance. `classes` may be null: then no class is consulted. Where a class cannot be
    // had, the DMTF schema's maps stand in (ValueMaps).
    static void GetProperties(const Pegasus::CIMInstance& instance, PropertyMap& properties,
                              ValueMaps* classes);
    // With `raw`, each value is the library's own text, trimmed, never translated.
    static void GetProperties(const Pegasus::CIMInstance& instance, bool raw,
                              PropertyMap& properties);
    // The text of one property, translated through its value map when it has one. Throws the
    // library's IndexOutOfBoundsException when Values is shorter than the matching ValueMap.
    static std::string GetPropertyValue(const Pegasus::CIMConstProperty& property);
    // The value of the key binding named exactly `name` (case-sensitive), or an empty String.
    static Pegasus::String GetKeyValue(const Pegasus::Array<Pegasus::CIMKeyBinding>& keyBindings,
                                       const Pegasus::String& name);
    // `text` without leading and trailing blanks, tabs, line ends, form and vertical feeds.
    static std::string Trim(std::string text);

    // --- Diagnostics. Each request goes through `cimFunc.Ask` with the time-out (seconds) given
    // for it; 0 success, 1 failure; library errors are logged, never thrown.

    // Lists the services of an association class: one entry and one item per usable
    // association instance. 1 when the enumeration failed or an instance was skipped.
    static int GetDiagnosticItems(CimFunc& cimFunc, const Pegasus::CIMName& associationClass,
                                  unsigned int timeout, std::vector<DiagnosticItem>& items,
                                  std::vector<DiagnosticServiceEntry>& entries);
    // Invokes `method` on the listed entry that `item` names, into a copy in `working`.
    static int InvokeDiagnostic(CimFunc& cimFunc, const Pegasus::CIMName& method,
                                unsigned int timeout, const DiagnosticItem& item,
                                const std::vector<DiagnosticServiceEntry>& entries,
                                DiagnosticServiceEntry& working);
    // Polls the job until it is finished (1 when `attempts` polls did not see it finish, or
    // when the server watch gave up on the server between polls). The job's states are
    // translated through the value maps of its class.
    static int WaitForJob(CimFunc& cimFunc, const Pegasus::CIMObjectPath& job, unsigned int timeout,
                          int attempts, DiagnosticServiceEntry& working, PropertyMap& results);
    // Reads the first record of `recordClass` that `match` accepts into `results`, its
    // completion state translated as WaitForJob translates the job's.
    static int GetCompletionRecord(CimFunc& cimFunc, const Pegasus::CIMName& recordClass,
                                   DiagnosticServiceEntry& working, unsigned int timeout,
                                   bool (*match)(DiagnosticServiceEntry&,
                                                 const Pegasus::CIMInstance&),
                                   PropertyMap& results);

  private:
    int Connect();
    int ConnectLocal();
    // Remote connect attempts as the connection information says: 0 connected, 1 not.
    int ConnectRemote();
    void NewClient();
    void DropClient();
    // Fetches a class for the value maps, as a request of its own under what is left of the
    // current request's time-out; none when nothing is left.
    bool FetchClass(const Pegasus::CIMName& className, Pegasus::CIMClass& cimClass);
    // Sets the time-out, makes the request, tells the watch: the one place that does.
    void Send(Pegasus::CIMClient& connected, Pegasus::Uint32 timeoutMs,
              const std::function<void(Pegasus::CIMClient&)>& request);

    Pegasus::CIMNamespaceName nameSpace;
    std::unique_ptr<Pegasus::CIMClient> client;
    ServerWatch serverWatch;
    ValueMaps valueMaps;
    // When the time-out of the last request Ask made runs out.
    std::chrono::steady_clock::time_point requestDeadline;
    Vornet::VornetConnection::ConnectionInfo connectionInfo;
    // The trust setting of the last remote connect step, and the checks it asks of this server;
    // every request runs with them in force, so that a connection the client opens again
    // within it is decided for this server, whole, as at the connect step.
    TrustSetting trust;
    std::unique_ptr<ServerTrust> serverTrust;
    // Made without connection information: the local CIM server is meant.
    bool local;
};

#endif
