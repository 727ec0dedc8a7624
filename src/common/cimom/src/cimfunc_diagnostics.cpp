// The provider-neutral diagnostic engine: list the services, invoke one, poll its job, read its
// completion record.

#include <Pegasus/Common/CIMPropertyList.h>
#include <Pegasus/Common/CIMType.h>
#include <Pegasus/Common/CIMValue.h>
#include <Pegasus/Common/Exception.h>

#include <memory>

#include "cim_property_names.h"
#include "cimfunc.h"
#include "log_line.h"
#include "pause.h"
#include "pegasus_text.h"

namespace {

constexpr unsigned int kPauseBetweenPollsMs = 10000;

Pegasus::Uint32 Milliseconds(unsigned int seconds) { return seconds * 1000; }

// The reference value of the property `name`, or false (and a level-2 line) when the instance
// lacks it or it is not a reference.
bool FindReference(const Pegasus::CIMInstance& instance, const char* name,
                   Pegasus::CIMObjectPath& reference) {
    const Pegasus::Uint32 index = instance.findProperty(Pegasus::CIMName(name));
    if (index == Pegasus::PEG_NOT_FOUND) {
        VORNET_LOG(2) << "Property " << name << " is not found for "
                      << LogText(instance.getPath().toString());
        return false;
    }
    const Pegasus::CIMConstProperty property = instance.getProperty(index);
    if (property.getType() != Pegasus::CIMTYPE_REFERENCE) {
        VORNET_LOG(2) << "Property " << name << " is not found as REF.";
        return false;
    }
    property.getValue().get(reference);
    return true;
}

}  // namespace

int CimFunc::GetDiagnosticItems(CimFunc& cimFunc, const Pegasus::CIMName& associationClass,
                                unsigned int timeout, std::vector<DiagnosticItem>& items,
                                std::vector<DiagnosticServiceEntry>& entries) {
    VORNET_LOG(4) << "Calling CimFunc::GetDiagnosticItems()";
    items.clear();
    entries.clear();

    Pegasus::Array<Pegasus::CIMInstance> associations;
    try {
        if (!cimFunc.Ask(Milliseconds(timeout), [&](Pegasus::CIMClient& client) {
                associations =
                    client.enumerateInstances(cimFunc.GetNameSpace(), associationClass, true, true,
                                              false, false, Pegasus::CIMPropertyList());
            })) {
            return 1;
        }
    } catch (const Pegasus::Exception& error) {
        VORNET_LOG(1) << "Enumerate instances for " << LogText(associationClass.getString())
                      << " failed with the reason: " << LogText(error.getMessage());
        return 1;
    }

    int status = 0;
    for (Pegasus::Uint32 index = 0; index < associations.size(); ++index) {
        const Pegasus::CIMInstance& association = associations[index];
        DiagnosticServiceEntry entry;
        try {
            if (!FindReference(association, CimPropertyNames::ServiceProvided, entry.serviceRef)) {
                status = 1;
                continue;
            }
            entry.serviceName = GetKeyValue(entry.serviceRef.getKeyBindings(),
                                            Pegasus::String(CimPropertyNames::Name));
            entry.servicePath = ToText(entry.serviceRef.toString());
            VORNET_LOG(4) << "Object Path of ServiceProvided is "
                          << Vornet::EscapedControls(entry.servicePath);

            Pegasus::CIMObjectPath element;
            if (!FindReference(association, CimPropertyNames::UserOfService, element)) {
                status = 1;
                continue;
            }
            entry.systemName = GetKeyValue(element.getKeyBindings(),
                                           Pegasus::String(CimPropertyNames::SystemName));
            entry.deviceId =
                GetKeyValue(element.getKeyBindings(), Pegasus::String(CimPropertyNames::DeviceID));
            entry.elementPath = ToText(element.toString());
            VORNET_LOG(4) << "Object Path of UserOfService is "
                          << Vornet::EscapedControls(entry.elementPath);
            entry.inParams.append(
                Pegasus::CIMParamValue(Pegasus::String(CimPropertyNames::ManagedElement),
                                       Pegasus::CIMValue(element), true));

            items.push_back(DiagnosticItem(entry.servicePath, entry.elementPath));
            entries.push_back(std::move(entry));
        } catch (const Pegasus::Exception& error) {
            VORNET_LOG(1) << "Get properties from " << LogText(association.getPath().toString())
                          << " failed with the reason: " << LogText(error.getMessage());
            status = 1;
        }
    }
    return status;
}

int CimFunc::InvokeDiagnostic(CimFunc& cimFunc, const Pegasus::CIMName& method,
                              unsigned int timeout, const DiagnosticItem& item,
                              const std::vector<DiagnosticServiceEntry>& entries,
                              DiagnosticServiceEntry& working) {
    const DiagnosticServiceEntry* match = nullptr;
    for (const DiagnosticServiceEntry& entry : entries) {
        if (entry.servicePath == item.first && entry.elementPath == item.second) {
            match = &entry;
            break;
        }
    }
    if (match == nullptr) {
        VORNET_LOG(4) << "Diagnostic item not found..." << Vornet::EscapedControls(item.first)
                      << "\t" << Vornet::EscapedControls(item.second);
        return 1;
    }
    VORNET_LOG(4) << "Diagnostic item found..." << Vornet::EscapedControls(item.first) << "\t"
                  << Vornet::EscapedControls(item.second);
    working = *match;
    try {
        if (!cimFunc.Ask(Milliseconds(timeout), [&](Pegasus::CIMClient& client) {
                client.invokeMethod(cimFunc.GetNameSpace(), working.serviceRef, method,
                                    working.inParams, working.outParams);
            })) {
            return 1;
        }
    } catch (const Pegasus::Exception& error) {
        VORNET_LOG(1) << "invokeMethod return exeption: " << LogText(error.getMessage());
        return 1;
    }
    return 0;
}

int CimFunc::WaitForJob(CimFunc& cimFunc, const Pegasus::CIMObjectPath& job, unsigned int timeout,
                        int attempts, DiagnosticServiceEntry& working, PropertyMap& results) {
    static const char* const kEndedStates[] = {"Exception", "Suspended", "Terminated", "Killed"};
    if (attempts < 0) {
        return 1;
    }
    for (int attempt = 1; attempt <= attempts; ++attempt) {
        try {
            Pegasus::CIMInstance instance;
            // A server given up on between polls is not polled, nor waited for, again.
            if (!cimFunc.Ask(Milliseconds(timeout), [&](Pegasus::CIMClient& client) {
                    instance = client.getInstance(cimFunc.GetNameSpace(), job, true, true, false,
                                                  Pegasus::CIMPropertyList());
                })) {
                return 1;
            }
            PropertyMap jobProperties{{CimPropertyNames::JobState, ""},
                                      {CimPropertyNames::PercentComplete, ""},
                                      {CimPropertyNames::InstanceID, ""}};
            GetProperties(instance, jobProperties, &cimFunc.GetValueMaps());
            const std::string& state = results[DiagnosticResultKeys::JobState] =
                jobProperties[CimPropertyNames::JobState];
            const std::string& percent = results[DiagnosticResultKeys::PercentComplete] =
                jobProperties[CimPropertyNames::PercentComplete];
            if (state == "Completed" && percent == "100") {
                VORNET_LOG(4) << "Diagnostic Finished at the " << attempt << " attempt";
                working.jobInstanceId = jobProperties[CimPropertyNames::InstanceID];
                return 0;
            }
            for (const char* ended : kEndedStates) {
                if (state == ended) {
                    VORNET_LOG(1) << "Diagnostic Finished at the " << state << " state";
                    working.jobInstanceId = jobProperties[CimPropertyNames::InstanceID];
                    return 0;
                }
            }
        } catch (const Pegasus::Exception& error) {
            VORNET_LOG(1) << "getInstance return exeption: " << LogText(error.getMessage());
            // A server that has stopped answering is not polled, nor waited for, again.
            if (cimFunc.GetServerWatch().GivenUp()) {
                return 1;
            }
        }
        Pause(kPauseBetweenPollsMs);
    }
    VORNET_LOG(1) << "Diagnostic timing out, can not get Completed & 100% status of Comcretejob";
    return 1;
}

int CimFunc::GetCompletionRecord(CimFunc& cimFunc, const Pegasus::CIMName& recordClass,
                                 DiagnosticServiceEntry& working, unsigned int timeout,
                                 bool (*match)(DiagnosticServiceEntry&,
                                               const Pegasus::CIMInstance&),
                                 PropertyMap& results) {
    try {
        Pegasus::Array<Pegasus::CIMInstance> records;
        if (!cimFunc.Ask(Milliseconds(timeout), [&](Pegasus::CIMClient& client) {
                records = client.enumerateInstances(cimFunc.GetNameSpace(), recordClass, true, true,
                                                    true, false, Pegasus::CIMPropertyList());
            })) {
            return 1;
        }
        for (Pegasus::Uint32 index = 0; index < records.size(); ++index) {
            if (!match(working, records[index])) {
                continue;
            }
            PropertyMap recordProperties{{CimPropertyNames::CompletionState, ""},
                                         {CimPropertyNames::RecordData, ""}};
            GetProperties(records[index], recordProperties, &cimFunc.GetValueMaps());
            results[DiagnosticResultKeys::CompletionState] =
                recordProperties[CimPropertyNames::CompletionState];
            results[DiagnosticResultKeys::CompletionRecord] =
                recordProperties[CimPropertyNames::RecordData];
            return 0;
        }
    } catch (const Pegasus::Exception& error) {
        VORNET_LOG(1) << "Enumerate instances for " << LogText(recordClass.getString())
                      << " failed with the reason: " << LogText(error.getMessage());
    }
    return 1;
}
