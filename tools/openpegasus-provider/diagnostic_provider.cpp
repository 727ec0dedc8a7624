// A diagnostic provider for the real OpenPegasus server, standing in for the vendor's: it answers
// RunDiagnostic on XX_DiagnosticTest the way the scenario's diagnosticRuns script it for cimsim,
// from the run table scenario_mof.py writes (diagnostic_runs.tsv), so that both servers run
// the same diagnostics from one source.
//
// A run's job and record are created through the CIMOM handle, so that the repository stores
// them and serves them to EnumerateInstances and GetInstance as a vendor's are served. The job
// is created as its last poll would leave it: the real server cannot advance a job per poll.

#include <Pegasus/Common/CIMDateTime.h>
#include <Pegasus/Common/CIMInstance.h>
#include <Pegasus/Common/CIMParamValue.h>
#include <Pegasus/Common/Config.h>
#include <Pegasus/Provider/CIMMethodProvider.h>
#include <Pegasus/Provider/CIMOMHandle.h>

#include <dlfcn.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <limits>
#include <mutex>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

PEGASUS_USING_PEGASUS;

namespace {

const char kTableName[] = "diagnostic_runs.tsv";

struct Assignment {
    std::string name;
    std::string type;  // out-parameters only: properties take the type their class declares
    bool array = false;
    std::vector<std::string> values;
};

struct Run {
    std::string method, service, element;
    Uint32 returnValue = 0;
    std::string jobClass, recordClass;  // "-": none
    std::vector<Assignment> job, record, out;
};

std::string Text(const String& text) {
    return std::string(static_cast<const char*>(text.getCString()));
}

bool SameNoCase(const std::string& left, const std::string& right) {
    return String::equalNoCase(String(left.c_str()), String(right.c_str()));
}

std::vector<std::string> Split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::string part;
    std::istringstream stream(text);
    while (std::getline(stream, part, separator)) parts.push_back(part);
    if (!text.empty() && text.back() == separator) parts.emplace_back();
    return parts;
}

// The table escapes what would break its lines and arrays as %XX.
std::string Unescape(const std::string& text) {
    std::string out;
    for (size_t at = 0; at < text.size(); ++at) {
        if (text[at] == '%' && at + 2 < text.size()) {
            out += static_cast<char>(std::stoi(text.substr(at + 1, 2), nullptr, 16));
            at += 2;
        } else {
            out += text[at];
        }
    }
    return out;
}

Assignment ParseAssignment(const std::string& text) {
    const size_t equals = text.find('=');
    if (equals == std::string::npos) throw std::runtime_error("no '=' in " + text);
    Assignment assignment;
    assignment.name = text.substr(0, equals);
    const size_t colon = assignment.name.find(':');
    if (colon != std::string::npos) {
        assignment.type = assignment.name.substr(colon + 1);
        assignment.name.resize(colon);
    }
    const std::string value = text.substr(equals + 1);
    if (assignment.name.size() > 2 &&
        assignment.name.compare(assignment.name.size() - 2, 2, "[]") == 0) {
        assignment.name.resize(assignment.name.size() - 2);
        assignment.array = true;
        if (!value.empty()) {
            for (const std::string& item : Split(value, ','))
                assignment.values.push_back(Unescape(item));
        }
    } else {
        assignment.values.push_back(Unescape(value));
    }
    return assignment;
}

std::vector<Run> ReadTable(const std::string& fileName) {
    std::ifstream stream(fileName);
    if (!stream) throw std::runtime_error("cannot read the run table " + fileName);
    std::vector<Run> runs;
    std::string line;
    for (int number = 1; std::getline(stream, line); ++number) {
        if (line.empty() || line[0] == '#') continue;
        const std::vector<std::string> fields = Split(line, '\t');
        if (fields.size() < 6) {
            throw std::runtime_error(fileName + ":" + std::to_string(number) + ": too few fields");
        }
        Run run;
        run.method = fields[0];
        run.service = fields[1];
        run.element = fields[2];
        run.returnValue = static_cast<Uint32>(std::stoul(fields[3]));
        run.jobClass = fields[4];
        run.recordClass = fields[5];
        for (size_t at = 6; at < fields.size(); ++at) {
            const size_t dot = fields[at].find('.');
            const std::string scope = fields[at].substr(0, dot);
            if (scope != "job" && scope != "record" && scope != "out") {
                throw std::runtime_error(fileName + ":" + std::to_string(number) +
                                         ": assignment without job, record or out: " + fields[at]);
            }
            const Assignment assignment = ParseAssignment(fields[at].substr(dot + 1));
            (scope == "job"      ? run.job
             : scope == "record" ? run.record
                                 : run.out)
                .push_back(assignment);
        }
        runs.push_back(run);
    }
    return runs;
}

// The server starts its provider agents with its own environment, PEGASUS_HOME included; the
// folder of this library (the home's lib, where run-server copies it) is the fallback.
std::string FindTable() {
    std::vector<std::string> candidates;
    if (const char* home = std::getenv("PEGASUS_HOME")) {
        candidates.push_back(std::string(home) + "/" + kTableName);
    }
    Dl_info info;
    if (dladdr(reinterpret_cast<void*>(&FindTable), &info) != 0 && info.dli_fname != nullptr) {
        const std::string library = info.dli_fname;
        const size_t slash = library.rfind('/');
        candidates.push_back((slash == std::string::npos ? "." : library.substr(0, slash)) + "/" +
                             kTableName);
    }
    std::string tried;
    for (const std::string& candidate : candidates) {
        if (access(candidate.c_str(), R_OK) == 0) return candidate;
        tried += (tried.empty() ? "" : ", ") + candidate;
    }
    throw std::runtime_error("no run table " + std::string(kTableName) + " (tried " + tried + ")");
}

template <class T>
T Integer(const std::string& text) {
    errno = 0;
    char* end = nullptr;
    bool fits = false;
    T value = 0;
    if constexpr (std::numeric_limits<T>::is_signed) {
        const long long wide = std::strtoll(text.c_str(), &end, 10);
        fits = wide >= std::numeric_limits<T>::min() && wide <= std::numeric_limits<T>::max();
        value = static_cast<T>(wide);
    } else {
        // strtoull would take "-1" for the largest value.
        const unsigned long long wide = std::strtoull(text.c_str(), &end, 10);
        fits = wide <= std::numeric_limits<T>::max() && text.find('-') == std::string::npos;
        value = static_cast<T>(wide);
    }
    if (text.empty() || errno != 0 || *end != '\0' || !fits) {
        throw std::runtime_error("'" + text + "' is out of range or no integer");
    }
    return value;
}

template <class T>
T Real(const std::string& text) {
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (text.empty() || *end != '\0') throw std::runtime_error("'" + text + "' is no number");
    return static_cast<T>(value);
}

Boolean Bool(const std::string& text) {
    if (SameNoCase(text, "true")) return true;
    if (SameNoCase(text, "false")) return false;
    throw std::runtime_error("'" + text + "' is no boolean");
}

String Str(const std::string& text) { return String(text.c_str()); }

Char16 Char(const std::string& text) {
    if (text.size() != 1) throw std::runtime_error("'" + text + "' is not one character");
    return Char16(static_cast<Uint16>(static_cast<unsigned char>(text[0])));
}

CIMDateTime DateTime(const std::string& text) { return CIMDateTime(Str(text)); }

template <class T>
CIMValue Typed(const Assignment& assignment, T (*parse)(const std::string&)) {
    if (!assignment.array) return CIMValue(parse(assignment.values.at(0)));
    Array<T> values;
    for (const std::string& text : assignment.values) values.append(parse(text));
    return CIMValue(values);
}

CIMValue ValueOf(const Assignment& assignment, CIMType type) {
    switch (type) {
        case CIMTYPE_BOOLEAN:
            return Typed(assignment, Bool);
        case CIMTYPE_UINT8:
            return Typed(assignment, Integer<Uint8>);
        case CIMTYPE_SINT8:
            return Typed(assignment, Integer<Sint8>);
        case CIMTYPE_UINT16:
            return Typed(assignment, Integer<Uint16>);
        case CIMTYPE_SINT16:
            return Typed(assignment, Integer<Sint16>);
        case CIMTYPE_UINT32:
            return Typed(assignment, Integer<Uint32>);
        case CIMTYPE_SINT32:
            return Typed(assignment, Integer<Sint32>);
        case CIMTYPE_UINT64:
            return Typed(assignment, Integer<Uint64>);
        case CIMTYPE_SINT64:
            return Typed(assignment, Integer<Sint64>);
        case CIMTYPE_REAL32:
            return Typed(assignment, Real<Real32>);
        case CIMTYPE_REAL64:
            return Typed(assignment, Real<Real64>);
        case CIMTYPE_CHAR16:
            return Typed(assignment, Char);
        case CIMTYPE_STRING:
            return Typed(assignment, Str);
        case CIMTYPE_DATETIME:
            return Typed(assignment, DateTime);
        default:
            throw std::runtime_error(assignment.name + " has a type the run table cannot give");
    }
}

CIMType TypeNamed(const std::string& name) {
    static const struct {
        const char* name;
        CIMType type;
    } kTypes[] = {
        {"boolean", CIMTYPE_BOOLEAN}, {"uint8", CIMTYPE_UINT8},      {"sint8", CIMTYPE_SINT8},
        {"uint16", CIMTYPE_UINT16},   {"sint16", CIMTYPE_SINT16},    {"uint32", CIMTYPE_UINT32},
        {"sint32", CIMTYPE_SINT32},   {"uint64", CIMTYPE_UINT64},    {"sint64", CIMTYPE_SINT64},
        {"real32", CIMTYPE_REAL32},   {"real64", CIMTYPE_REAL64},    {"char16", CIMTYPE_CHAR16},
        {"string", CIMTYPE_STRING},   {"datetime", CIMTYPE_DATETIME}};
    for (const auto& known : kTypes) {
        if (SameNoCase(name, known.name)) return known.type;
    }
    throw std::runtime_error("unknown out-parameter type " + name);
}

std::string KeyValue(const CIMObjectPath& path, const char* key) {
    const Array<CIMKeyBinding> keys = path.getKeyBindings();
    for (Uint32 at = 0; at < keys.size(); ++at) {
        if (keys[at].getName().equal(CIMName(key))) return Text(keys[at].getValue());
    }
    return std::string();
}

// Unique across provider restarts and server restarts on one repository, which keeps the jobs
// of earlier runs: the time, this agent's process and a counter.
std::string UniqueStamp() {
    static std::mutex lock;
    static unsigned long counter = 0;
    std::lock_guard<std::mutex> hold(lock);
    return std::to_string(static_cast<long long>(std::time(nullptr))) + "-" +
           std::to_string(static_cast<long>(getpid())) + "-" + std::to_string(++counter);
}

class DiagnosticProvider : public CIMMethodProvider {
  public:
    void initialize(CIMOMHandle& cimom) override { this->cimom = cimom; }
    void terminate() override { delete this; }

    void invokeMethod(const OperationContext& context, const CIMObjectPath& objectReference,
                      const CIMName& methodName, const Array<CIMParamValue>& inParameters,
                      MethodResultResponseHandler& handler) override {
        CIMObjectPath element;
        bool haveElement = false;
        for (Uint32 at = 0; at < inParameters.size(); ++at) {
            if (!String::equalNoCase(inParameters[at].getParameterName(), "ManagedElement")) {
                continue;
            }
            const CIMValue value = inParameters[at].getValue();
            if (value.isNull() || value.isArray() || value.getType() != CIMTYPE_REFERENCE) break;
            value.get(element);
            haveElement = true;
        }
        if (!haveElement) {
            throw CIMException(CIM_ERR_INVALID_PARAMETER,
                               "ManagedElement (a reference) is missing");
        }
        const std::string service = KeyValue(objectReference, "Name");
        const std::string deviceId = KeyValue(element, "DeviceID");
        const CIMNamespaceName nameSpace = objectReference.getNameSpace();
        try {
            const std::string table = FindTable();
            for (const Run& run : ReadTable(table)) {
                if (SameNoCase(run.method, Text(methodName.getString())) &&
                    (run.service == "*" || run.service == service) &&
                    (run.element == "*" || run.element == deviceId)) {
                    Start(context, nameSpace, run, handler);
                    return;
                }
            }
            throw CIMException(CIM_ERR_FAILED, Str("no run in " + table + " for " +
                                                   Text(methodName.getString()) + " of service \"" +
                                                   service + "\" on element \"" + deviceId + "\""));
        } catch (const std::exception& error) {
            throw CIMException(CIM_ERR_FAILED, Str(error.what()));
        }
    }

  private:
    // Types each value as the class declares its property, as a vendor's instances are typed.
    CIMObjectPath Create(const OperationContext& context, const CIMNamespaceName& nameSpace,
                         const std::string& className, const std::string& instanceId,
                         const std::vector<Assignment>& assignments) {
        const CIMClass declaration = cimom.getClass(context, nameSpace, CIMName(Str(className)),
                                                    false, false, false, CIMPropertyList());
        CIMInstance instance(CIMName(Str(className)));
        instance.addProperty(CIMProperty(CIMName("InstanceID"), CIMValue(Str(instanceId))));
        for (const Assignment& assignment : assignments) {
            if (assignment.name == "InstanceID") continue;
            const Uint32 index = declaration.findProperty(CIMName(Str(assignment.name)));
            if (index == PEG_NOT_FOUND) {
                throw std::runtime_error(className + " declares no property " + assignment.name);
            }
            const CIMConstProperty property = declaration.getProperty(index);
            if (property.isArray() != assignment.array) {
                throw std::runtime_error(className + "." + assignment.name +
                                         (assignment.array ? " is no array" : " is an array"));
            }
            instance.addProperty(
                CIMProperty(property.getName(), ValueOf(assignment, property.getType())));
        }
        return cimom.createInstance(context, nameSpace, instance);
    }

    static std::string Given(const std::vector<Assignment>& assignments, const char* name) {
        for (const Assignment& assignment : assignments) {
            if (assignment.name == name && !assignment.array) return assignment.values.at(0);
        }
        return std::string();
    }

    void Start(const OperationContext& context, const CIMNamespaceName& nameSpace, const Run& run,
               MethodResultResponseHandler& handler) {
        const std::string stamp = UniqueStamp();
        handler.processing();
        for (const Assignment& out : run.out) {
            handler.deliverParamValue(
                CIMParamValue(Str(out.name), ValueOf(out, TypeNamed(out.type))));
        }
        std::string jobId;
        if (run.jobClass != "-") {
            // A fixed id of the scenario is kept as the id's start: two runs cannot share one.
            const std::string given = Given(run.job, "InstanceID");
            jobId = given.empty() ? "REALSERVER:Job:" + stamp : given + ":" + stamp;
            CIMObjectPath job = Create(context, nameSpace, run.jobClass, jobId, run.job);
            job.setHost(String());
            job.setNameSpace(CIMNamespaceName());
            handler.deliverParamValue(CIMParamValue("Job", CIMValue(job)));
        }
        if (run.recordClass != "-") {
            // The module takes the record whose id holds the job's id as a whole; a scenario's
            // own id names a record that matches no job.
            const std::string given = Given(run.record, "InstanceID");
            const std::string recordId = !given.empty()  ? given + ":" + stamp
                                         : jobId.empty() ? "REALSERVER:Record:" + stamp
                                                         : jobId + ":Record";
            Create(context, nameSpace, run.recordClass, recordId, run.record);
        }
        handler.deliver(CIMValue(run.returnValue));
        handler.complete();
    }

    CIMOMHandle cimom;
};

}  // namespace

extern "C" PEGASUS_EXPORT CIMProvider* PegasusCreateProvider(const String& name) {
    if (String::equalNoCase(name, "BrocadeTestDiagnosticProvider")) return new DiagnosticProvider();
    return nullptr;
}
