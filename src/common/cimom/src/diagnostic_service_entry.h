#ifndef VORNET_DIAGNOSTIC_SERVICE_ENTRY_H
#define VORNET_DIAGNOSTIC_SERVICE_ENTRY_H

#include <Pegasus/Common/Array.h>
#include <Pegasus/Common/CIMObjectPath.h>
#include <Pegasus/Common/CIMParamValue.h>
#include <Pegasus/Common/String.h>

#include <string>

// One offered diagnostic, made from one instance of a diagnostic-service association: the
// service to invoke, the element it tests and, once run, the job that ran it.
struct DiagnosticServiceEntry {
    std::string servicePath;
    std::string elementPath;
    Pegasus::CIMObjectPath serviceRef;
    Pegasus::Array<Pegasus::CIMParamValue> inParams;
    Pegasus::Array<Pegasus::CIMParamValue> outParams;
    Pegasus::String deviceId;
    Pegasus::String systemName;
    Pegasus::String serviceName;
    std::string jobInstanceId;
};

#endif
