// Reading the captured traffic of OpenPegasus (tests/pegasus/captures) and
// printing our objects in the form the capture probe printed the real
// library's, so that the two can be compared line by line.
#ifndef TESTS_PEGASUS_CAPTURE_FILES_H
#define TESTS_PEGASUS_CAPTURE_FILES_H

#include <Pegasus/Client/CIMClient.h>

#include <string>
#include <vector>

#include "http_response.h"

namespace capture {

std::string directory();
std::string readFile(const std::string& relativePath);
bool exists(const std::string& relativePath);

// Every HTTP response of a byte stream, in order (the stream is fed to the
// reader one byte at a time, so that every split point is exercised).
std::vector<Pegasus::http::HttpResponse> responsesIn(const std::string& bytes);

// The probe's lines about objects and failures: lines that start with
// "INSTANCE" or with blanks; timing lines are left out.
std::vector<std::string> detailLines(const std::string& probeOutput);

// The exception class the probe saw ("N7Pegasus12CIMExceptionE"), or "".
std::string thrownType(const std::string& probeOutput);

// The lines of a GetClass probe's output (class, qualifiers, properties,
// value texts that span lines), without what it printed about methods,
// which CIMClass does not keep.
std::vector<std::string> classProbeLines(const std::string& probeOutput);

void renderInstance(const Pegasus::CIMInstance& instance, std::vector<std::string>& lines);
void renderException(const Pegasus::Exception& error, std::vector<std::string>& lines);
// The GetClass probe's forms of the same.
void renderClass(const Pegasus::CIMConstClass& theClass, std::vector<std::string>& lines);
void renderClassException(const Pegasus::Exception& error, std::vector<std::string>& lines);
void renderMethodResult(const Pegasus::CIMValue& returned,
                        const Pegasus::Array<Pegasus::CIMParamValue>& out,
                        std::vector<std::string>& lines);
std::string valueText(const Pegasus::CIMValue& value);

}  // namespace capture

#endif
