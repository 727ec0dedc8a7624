// brocade.dll as the host uses it: linked through its import library, every operation called on
// the exported class. run_with_cimsim.py starts cimsim with the sample estate on the build
// machine and hands its address over in the environment: CIMCLIENT_LOCAL_URL (the "local" CIM
// server of in-band mode) and BROCADE_TEST_CIMSIM_HTTP_PORT, _HTTPS_PORT, _USER, _PASSWORD.

#include <windows.h>
#include <winternl.h>

#include <algorithm>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "brocade.h"
#include "installed_utility.h"
#include "log.h"
#include "test_environment.h"
#include "windows_test_support.h"

using Vornet::Brocade::Brocade;
using Vornet::VornetConnection::ConnectionInfo;
using Vornet::VornetIHV::DiagnosticRecord_;
using Vornet::VornetIHV::RawData_;
using Vornet::VornetOptions::NetworkAdapter;
using Vornet::VornetOptions::SoftwareIdentity_;

namespace {

ConnectionInfo Simulator(bool ssl) {
    ConnectionInfo info;
    info.host = "127.0.0.1";
    info.port = static_cast<std::uint16_t>(std::atoi(
        Environment(ssl ? "BROCADE_TEST_CIMSIM_HTTPS_PORT" : "BROCADE_TEST_CIMSIM_HTTP_PORT")
            .c_str()));
    info.user_name = Environment("BROCADE_TEST_CIMSIM_USER");
    info.password = Environment("BROCADE_TEST_CIMSIM_PASSWORD");
    info.connection_type = ssl ? 1 : 0;
    info.connection_case = 2;
    return info;
}

std::multiset<std::string> SerialNumbers(const std::vector<NetworkAdapter>& adapters) {
    std::multiset<std::string> serials;
    for (const NetworkAdapter& adapter : adapters) {
        serials.insert(adapter.serial_number);
    }
    return serials;
}

const std::multiset<std::string> kSampleSerials = {"BA8250A1742", "CN1020B0913", "BA8250A1788"};

class BrocadeDllTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_FALSE(Environment("CIMCLIENT_LOCAL_URL").empty())
            << "run through run_with_cimsim.py";
        Vornet::Log::SetMinLogLevel(1);
    }
};

TEST_F(BrocadeDllTest, InBandEveryOperationAnswersFromTheSimulatorAndTheUtility) {
    // Under the prefix's own "Program Files", where the module looks.
    InstalledUtility utility(Environment("ProgramFiles"), ProgramDirectory() + "bcu.exe");
    Brocade module;

    std::vector<NetworkAdapter> adapters;
    EXPECT_EQ(module.GetAdapterInfo(adapters), 0);
    EXPECT_EQ(SerialNumbers(adapters), kSampleSerials);
    size_t ports = 0;
    for (const NetworkAdapter& adapter : adapters) {
        ports += adapter.ports.size();
    }
    EXPECT_EQ(ports, 8u);

    std::vector<SoftwareIdentity_> identities;
    EXPECT_EQ(module.GetSoftwareIdentities(identities), 0);
    std::set<std::string> versions;
    for (const SoftwareIdentity_& identity : identities) {
        versions.insert(identity.version_string);
    }
    EXPECT_EQ(versions, (std::set<std::string>{"3.2.6.0", "3.2.6.1"}));

    // Raw data appends: what the vector held stays in front.
    std::vector<RawData_> rawData(1);
    EXPECT_EQ(module.GetRawData(rawData), 0);
    ASSERT_EQ(rawData.size(), 3u);
    EXPECT_EQ(rawData[1].item_name, "Brocade_00_adapter_info");
    EXPECT_EQ(rawData[1].command_line, utility.path + " adapter --list");
    EXPECT_NE(rawData[1].output.find("2 adapter(s) found"), std::string::npos);
    EXPECT_EQ(rawData[2].item_name, "Brocade_01_port_adapter_info");
    EXPECT_EQ(rawData[2].command_line, utility.path + " port --list");

    std::vector<std::string> items;
    EXPECT_EQ(module.GetDiagItems(items), 0);
    for (const char* item : {"MemoryTest|ctlr-1/0", "InternalLoopbackTest|10:00:00:05:1e:4a:81:10",
                             "ExternalLoopbackTest|10:00:00:05:1e:4a:93:21"}) {
        EXPECT_NE(std::find(items.begin(), items.end(), item), items.end()) << item;
    }

    DiagnosticRecord_ record;
    EXPECT_EQ(module.RunDiagnostic("InternalLoopbackTest|10:00:00:05:1e:4a:81:10", record), 0);
    EXPECT_EQ(record.result, 2);
    EXPECT_EQ(record.outcome_text_1, "Internal loopback test passed.");
}

TEST_F(BrocadeDllTest, RawDataWithoutTheUtilityIsStatusTwo) {
    ScopedEnvironment programFiles("ProgramFiles", ProgramDirectory() + "no-such-directory");
    Brocade module;
    std::vector<RawData_> rawData;
    EXPECT_EQ(module.GetRawData(rawData), 2);
    EXPECT_TRUE(rawData.empty());
}

TEST_F(BrocadeDllTest, OutOfBandReadsInventoryOverHttpAndHttpsAndRefusesTheRest) {
    for (bool ssl : {false, true}) {
        Brocade module(Simulator(ssl));
        std::vector<NetworkAdapter> adapters;
        EXPECT_EQ(module.GetAdapterInfo(adapters), 0) << "ssl " << ssl;
        EXPECT_EQ(SerialNumbers(adapters), kSampleSerials) << "ssl " << ssl;
        std::vector<SoftwareIdentity_> identities;
        EXPECT_EQ(module.GetSoftwareIdentities(identities), 0) << "ssl " << ssl;
        EXPECT_FALSE(identities.empty());

        std::vector<RawData_> rawData;
        std::vector<std::string> items;
        DiagnosticRecord_ record;
        EXPECT_EQ(module.GetRawData(rawData), 4);
        EXPECT_EQ(module.GetDiagItems(items), 4);
        EXPECT_EQ(module.RunDiagnostic("MemoryTest|ctlr-1/0", record), 4);
    }
}

// The loader's record of a DLL: the public winternl.h hides the flags word, whose place (after
// the base name) and "no thread calls" bit are the same on Windows x64 and in Wine.
struct LoaderEntry {
    LIST_ENTRY inLoadOrder;
    LIST_ENTRY inMemoryOrder;
    LIST_ENTRY inInitializationOrder;
    void* base;
    void* entryPoint;
    ULONG sizeOfImage;
    UNICODE_STRING fullName;
    UNICODE_STRING baseName;
    ULONG flags;
};
constexpr ULONG kNoThreadCalls = 0x00040000;

ULONG LoaderFlags(HMODULE module) {
    using FindEntry = LONG(NTAPI*)(void*, LoaderEntry**);
    const auto findEntry = reinterpret_cast<FindEntry>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleA("ntdll.dll"), "LdrFindEntryForAddress")));
    LoaderEntry* entry = nullptr;
    if (findEntry == nullptr || findEntry(module, &entry) != 0 || entry->base != module) {
        ADD_FAILURE() << "no loader entry for the module";
        return 0;
    }
    return entry->flags;
}

bool HasStaticTls(HMODULE module) {
    const auto* base = reinterpret_cast<const BYTE*>(module);
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    return nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_TLS].Size != 0;
}

DWORD WINAPI ShortThread(void*) { return 7; }

// A fresh copy of the DLL goes through the whole entry routine: process attach on loading, thread
// attach and detach for a thread started meanwhile, process detach on unloading. Every call must
// report success, or loading fails. The system refuses to turn thread notifications off for a DLL
// with static thread-local storage, which every mingw-w64 DLL has (the C runtime's TLS
// directory); only a DLL without it must show the notifications turned off.
TEST(BrocadeDllEntry, EntryRoutineReportsSuccessAndTurnsThreadNotificationsOffWherePossible) {
    char directory[MAX_PATH];
    ASSERT_GT(GetTempPathA(sizeof directory, directory), 0u);
    const std::string copy = std::string(directory) + "brocade-entry-test.dll";
    ASSERT_TRUE(CopyFileA((ProgramDirectory() + "brocade.dll").c_str(), copy.c_str(), FALSE));

    HMODULE module = LoadLibraryA(copy.c_str());
    ASSERT_NE(module, nullptr) << "entry routine refused to attach: " << GetLastError();
    HANDLE thread = CreateThread(nullptr, 0, ShortThread, nullptr, 0, nullptr);
    ASSERT_NE(thread, nullptr);
    WaitForSingleObject(thread, 10000);
    DWORD threadCode = 0;
    GetExitCodeThread(thread, &threadCode);
    CloseHandle(thread);
    EXPECT_EQ(threadCode, 7u);
    if (!HasStaticTls(module)) {
        EXPECT_NE(LoaderFlags(module) & kNoThreadCalls, 0u);
    }
    EXPECT_TRUE(FreeLibrary(module));
    DeleteFileA(copy.c_str());
}

}  // namespace
