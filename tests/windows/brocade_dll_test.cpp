// brocade.dll as the host uses it: linked through its import library, every operation called on
// the exported class, against the cimsim that run_with_cimsim.py starts (its usage text).

#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "brocade.h"
#include "installed_utility.h"
#include "log.h"
#include "windows_test_support.h"

using Vornet::Brocade::Brocade;
using Vornet::VornetConnection::ConnectionInfo;
using Vornet::VornetIHV::DiagnosticRecord_;
using Vornet::VornetIHV::RawData_;
using Vornet::VornetOptions::NetworkAdapter;
using Vornet::VornetOptions::SoftwareIdentity_;

namespace {

// The inventory in brief: the statuses, each adapter's serial number and port count, then the
// versions in the flat identity list.
std::string Inventory(Brocade& module) {
    std::vector<NetworkAdapter> adapters;
    std::vector<SoftwareIdentity_> identities;
    std::string text = std::to_string(module.GetAdapterInfo(adapters)) + "," +
                       std::to_string(module.GetSoftwareIdentities(identities)) + ":";
    for (const NetworkAdapter& adapter : adapters)
        text += " " + adapter.serial_number + "/" + std::to_string(adapter.ports.size());
    text += " |";
    for (const SoftwareIdentity_& identity : identities) text += " " + identity.version_string;
    return text;
}

const char kSampleInventory[] =
    "0,0: BA8250A1742/2 CN1020B0913/4 BA8250A1788/2 | 3.2.6.1 3.2.6.0 3.2.6.1 3.2.6.0";

// Every operation through the import library. What the module refuses in each mode is the same
// code as on Linux (FacadeTest), and HTTP beside HTTPS the client's own test (ClientOverWinHttp).
TEST(BrocadeDll, InventoryOutOfBandRawDataAndDiagnosticsInBand) {
    Vornet::Log::SetMinLogLevel(1);
    ConnectionInfo server;
    server.host = "127.0.0.1";
    server.port = static_cast<std::uint16_t>(
        std::atoi(Environment("BROCADE_TEST_CIMSIM_HTTPS_PORT").c_str()));
    server.user_name = Environment("BROCADE_TEST_CIMSIM_USER");
    server.password = Environment("BROCADE_TEST_CIMSIM_PASSWORD");
    server.connection_type = 1;
    server.connection_case = 2;
    Brocade outOfBand(server);
    EXPECT_EQ(Inventory(outOfBand), kSampleInventory);
    // In-band, the utility is under the prefix's own "Program Files", where the module looks.
    InstalledUtility utility(Environment("ProgramFiles"), ProgramDirectory() + "bcu.exe");
    Brocade module;

    // Raw data appends: what the vector held stays in front.
    std::vector<RawData_> rawData(1);
    EXPECT_EQ(module.GetRawData(rawData), 0);
    std::string commands;
    for (const RawData_& item : rawData) commands += item.item_name + " " + item.command_line + ";";
    ASSERT_EQ(commands, " ;Brocade_00_adapter_info " + utility.path +
                            " adapter --list;Brocade_01_port_adapter_info " + utility.path +
                            " port --list;");

    std::vector<std::string> items;
    EXPECT_EQ(module.GetDiagItems(items), 0);
    for (const char* item : {"MemoryTest|ctlr-1/0", "InternalLoopbackTest|10:00:00:05:1e:4a:81:10",
                             "ExternalLoopbackTest|10:00:00:05:1e:4a:93:21"})
        EXPECT_NE(std::find(items.begin(), items.end(), item), items.end()) << item;

    DiagnosticRecord_ record;
    EXPECT_EQ(module.RunDiagnostic("InternalLoopbackTest|10:00:00:05:1e:4a:81:10", record), 0);
    EXPECT_EQ(record.result, 2);
    EXPECT_EQ(record.outcome_text_1, "Internal loopback test passed.");
}

// A fresh copy of the DLL goes through its whole entry routine: attach on loading, a thread's
// attach and detach, detach on unloading. (Whether thread notifications end up off cannot be
// seen: the system keeps them on for the TLS that mingw-w64's C runtime has.)
TEST(BrocadeDllEntry, EntryRoutineReportsSuccessForEveryCall) {
    char directory[MAX_PATH];
    ASSERT_GT(GetTempPathA(sizeof directory, directory), 0u);
    const std::string copy = std::string(directory) + "brocade-entry-test.dll";
    ASSERT_TRUE(CopyFileA((ProgramDirectory() + "brocade.dll").c_str(), copy.c_str(), FALSE));

    HMODULE module = LoadLibraryA(copy.c_str());
    ASSERT_NE(module, nullptr) << "entry routine refused to attach: " << GetLastError();
    std::thread([] {}).join();
    EXPECT_TRUE(FreeLibrary(module));
    DeleteFileA(copy.c_str());
}

}  // namespace
