#ifndef PEGASUS_CLIENT_CIMCLIENT_H
#define PEGASUS_CLIENT_CIMCLIENT_H

#include <Pegasus/Client/CIMClientException.h>
#include <Pegasus/Common/Array.h>
#include <Pegasus/Common/CIMClass.h>
#include <Pegasus/Common/CIMInstance.h>
#include <Pegasus/Common/CIMName.h>
#include <Pegasus/Common/CIMObjectPath.h>
#include <Pegasus/Common/CIMParamValue.h>
#include <Pegasus/Common/CIMPropertyList.h>
#include <Pegasus/Common/CIMValue.h>
#include <Pegasus/Common/Exception.h>
#include <Pegasus/Common/SSLContext.h>
#include <Pegasus/Common/String.h>

#include <memory>

namespace Pegasus {

// A CIM-XML client over HTTP/1.1 or HTTPS: one persistent connection, reused
// for every operation. Every failure is thrown as a subclass of Exception;
// nothing else escapes. No request is ever sent twice, except once after a
// 401 challenge, Basic or local (same MESSAGE ID, now with credentials). One
// thread at a time. Not copyable.
class CIMClient {
  public:
    CIMClient();
    ~CIMClient();
    CIMClient(const CIMClient&) = delete;
    CIMClient& operator=(const CIMClient&) = delete;

    // 20000 ms until set.
    Uint32 getTimeout() const;
    // Limit for each later operation, from sending the request to the end of the
    // response; the clock restarts for the one retry after a 401. Also the limit
    // of connect() when set before it.
    void setTimeout(Uint32 timeoutMilliseconds);

    // Opens the TCP connection at once. Credentials are sent only after the
    // server asks for them. An empty host means "localhost".
    // Throws CannotConnectException (refused, unreachable, no answer within the
    // time-out), InvalidLocatorException (host does not resolve),
    // AlreadyConnectedException.
    void connect(const String& host, Uint32 portNumber, const String& userName,
                 const String& password);
    // The same over TLS; a failed handshake is a CannotConnectException.
    void connect(const String& host, Uint32 portNumber, const SSLContext& sslContext,
                 const String& userName, const String& password);
    // Connects to the local CIM server as OpenPegasus does: on POSIX its Unix
    // domain socket (release layout, then development layout), then HTTP on
    // 127.0.0.1:5988; on Windows HTTP on 127.0.0.1:5988, then HTTPS on 5989
    // (these ports only where root, on Windows LocalSystem, listens).
    // The environment variable CIMCLIENT_LOCAL_URL names another server
    // instead: http://[user:pw@]host[:port], https://... or unix:/socket/path.
    // With credentials in it they are sent after a Basic challenge; without,
    // the server's local authentication is answered: the first request on a
    // connection names the process's user, and after the server's challenge
    // it goes once more with the secret from the file the server names, if
    // that is a small regular file directly in the server's directory for
    // them (CIMCLIENT_LOCAL_AUTH_DIR, or the layout's; on Windows only the
    // former, a folder no other account may change). Any other file is
    // refused with CannotConnectException, and nothing of it is sent. An
    // https server is not verified. Throws as connect(), for the last server
    // tried, and InvalidLocatorException for a URL it cannot read.
    void connectLocal();
    // Closes the connection; safe to call when not connected.
    void disconnect();

    // Instances of the class (and, deep, of its subclasses) with their paths:
    // keys, no host and no namespace. Properties and qualifiers as the server
    // sent them. Throws CIMException for a server error, NotConnectedException,
    // ConnectionTimeoutException and the CIMClient*Exception classes.
    Array<CIMInstance> enumerateInstances(const CIMNamespaceName& nameSpace,
                                          const CIMName& className, Boolean deepInheritance = true,
                                          Boolean localOnly = true,
                                          Boolean includeQualifiers = false,
                                          Boolean includeClassOrigin = false,
                                          const CIMPropertyList& propertyList = CIMPropertyList());

    // The instance named by `instanceName` (its host and namespace are ignored;
    // `nameSpace` is used). The returned instance's path holds only the class
    // name, as OpenPegasus's does. Throws as enumerateInstances.
    CIMInstance getInstance(const CIMNamespaceName& nameSpace, const CIMObjectPath& instanceName,
                            Boolean localOnly = true, Boolean includeQualifiers = false,
                            Boolean includeClassOrigin = false,
                            const CIMPropertyList& propertyList = CIMPropertyList());

    // The class, its qualifiers and its properties with their qualifiers and
    // default values (methods are not kept, see CIMClass.h). With localOnly
    // false the inherited properties come too, marked propagated and with
    // their inherited qualifiers: where a client finds the ValueMap and
    // Values that servers do not put on instances. An unknown class is the
    // server's CIMException (CIM_ERR_NOT_FOUND from OpenPegasus's cimserver).
    // Throws as enumerateInstances.
    CIMClass getClass(const CIMNamespaceName& nameSpace, const CIMName& className,
                      Boolean localOnly = true, Boolean includeQualifiers = true,
                      Boolean includeClassOrigin = false,
                      const CIMPropertyList& propertyList = CIMPropertyList());

    // Calls an extrinsic method on the instance (or, for a keyless path, the
    // class). Returns the method's return value (a null boolean when the server
    // sent none) and replaces outParameters with the output parameters.
    // Throws as enumerateInstances.
    CIMValue invokeMethod(const CIMNamespaceName& nameSpace, const CIMObjectPath& instanceName,
                          const CIMName& methodName, const Array<CIMParamValue>& inParameters,
                          Array<CIMParamValue>& outParameters);

  private:
    class Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace Pegasus

#endif
