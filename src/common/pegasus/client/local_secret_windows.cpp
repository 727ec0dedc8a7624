#include <winsock2.h>
#include <ws2tcpip.h>

#include <windows.h>
// After windows.h, which they need.
#include <aclapi.h>
#include <iphlpapi.h>
#include <sddl.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "client/local_authentication.h"
#include "http/wide_text.h"

namespace Pegasus {

namespace {

struct OwnedHandle {
    HANDLE handle;
    ~OwnedHandle() {
        if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
    }
    OwnedHandle(const OwnedHandle&) = delete;
    OwnedHandle& operator=(const OwnedHandle&) = delete;
};

[[noreturn]] void refuse(const std::string& path, const std::string& why) {
    throw LocalSecretRefused("The server's local authentication names \"" + path + "\", " + why +
                             ".");
}

struct LocalMemoryFree {
    void operator()(void* memory) const { LocalFree(memory); }
};

// The account a process runs as, or nothing when this process may not read its token (a
// server of another account, seen by a client that is not an administrator).
std::vector<BYTE> processAccount(HANDLE process) {
    OwnedHandle token{INVALID_HANDLE_VALUE};
    if (!OpenProcessToken(process, TOKEN_QUERY, &token.handle)) return {};
    DWORD size = 0;
    GetTokenInformation(token.handle, TokenUser, nullptr, 0, &size);
    std::vector<BYTE> user(size);
    if (size == 0 || !GetTokenInformation(token.handle, TokenUser, user.data(), size, &size))
        return {};
    const PSID sid = reinterpret_cast<TOKEN_USER*>(user.data())->User.Sid;
    std::vector<BYTE> copy(GetLengthSid(sid));
    CopySid(static_cast<DWORD>(copy.size()), copy.data(), sid);
    return copy;
}

std::vector<BYTE> accountOfProcess(DWORD pid) {
    const HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
    if (process == nullptr) return {};
    OwnedHandle owned{process};
    return processAccount(process);
}

const std::vector<BYTE>& ownAccount() {
    static const std::vector<BYTE> account = processAccount(GetCurrentProcess());
    return account;
}

// Those who may change the secrets folder and the folders above it: the system, the machine's
// administrators, the system's installer service (owner of the system's own folders), and this
// process's account, since whoever acts as it already is this client (on POSIX: root and this
// user).
bool trustedAccount(PSID sid) {
    if (IsWellKnownSid(sid, WinLocalSystemSid) ||
        IsWellKnownSid(sid, WinBuiltinAdministratorsSid)) {
        return true;
    }
    const std::vector<BYTE>& own = ownAccount();
    if (!own.empty() && EqualSid(sid, const_cast<BYTE*>(own.data()))) return true;
    static const std::unique_ptr<void, LocalMemoryFree> installer([] {
        PSID known = nullptr;
        ConvertStringSidToSidW(L"S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464",
                               &known);
        return known;
    }());
    return installer && EqualSid(sid, installer.get());
}

// What lets another account put a file of its choosing where the secret is looked for: in the
// folder itself adding, replacing or renaming entries, or making it a link; in a folder above
// it replacing or renaming what lies on the way (adding new entries there changes nothing).
const DWORD kReplaces = DELETE | FILE_DELETE_CHILD | WRITE_DAC | WRITE_OWNER | GENERIC_ALL;
const DWORD kAddsOrReplaces =
    kReplaces | FILE_ADD_FILE | FILE_ADD_SUBDIRECTORY | FILE_WRITE_ATTRIBUTES | GENERIC_WRITE;

// Whether only trusted accounts own `folder` and may change it as `rights` say. Denying entries
// are not counted on: which of them applies depends on the order and the groups of the caller.
bool onlyTrustedMayChange(HANDLE folder, DWORD rights) {
    PSID owner = nullptr;
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetSecurityInfo(folder, SE_FILE_OBJECT,
                        OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &owner, nullptr,
                        &dacl, nullptr, &descriptor) != ERROR_SUCCESS) {
        return false;
    }
    std::unique_ptr<void, LocalMemoryFree> held(descriptor);
    // No list at all lets everyone do everything.
    if (owner == nullptr || !trustedAccount(owner) || dacl == nullptr) return false;
    for (DWORD i = 0; i < dacl->AceCount; ++i) {
        ACE_HEADER* header = nullptr;
        if (!GetAce(dacl, i, reinterpret_cast<void**>(&header))) return false;
        if ((header->AceFlags & INHERIT_ONLY_ACE) != 0) continue;
        switch (header->AceType) {
            case ACCESS_DENIED_ACE_TYPE:
            case ACCESS_DENIED_CALLBACK_ACE_TYPE:
                continue;
            case ACCESS_ALLOWED_ACE_TYPE:
            case ACCESS_ALLOWED_CALLBACK_ACE_TYPE: {
                // Both begin alike: the mask, then the account.
                auto* allowed = reinterpret_cast<ACCESS_ALLOWED_ACE*>(header);
                if ((allowed->Mask & rights) != 0 && !trustedAccount(&allowed->SidStart)) {
                    return false;
                }
                continue;
            }
            default:
                return false;
        }
    }
    return true;
}

// The length of the part of a full path that names a volume: "C:\" or "\\server\share".
size_t rootLength(const std::wstring& path) {
    if (path.size() >= 3 && path[1] == L':' && path[2] == L'\\') return 3;
    if (path.compare(0, 2, L"\\\\") != 0) return path.size();
    const size_t server = path.find(L'\\', 2);
    const size_t share = server == std::wstring::npos ? server : path.find(L'\\', server + 1);
    return share == std::wstring::npos ? path.size() : share;
}

// Why the secrets folder cannot be trusted, or empty when it and every folder above it are
// folders (not links) that only trusted accounts may change.
std::string untrustedFolder(const std::string& directory) {
    std::wstring path = wide(directory);
    std::replace(path.begin(), path.end(), L'/', L'\\');
    const DWORD length = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    std::wstring full(length, L'\0');
    if (length == 0 || GetFullPathNameW(path.c_str(), length, &full[0], nullptr) >= length) {
        return "whose folder cannot be checked";
    }
    full.resize(length - 1);
    const size_t root = rootLength(full);
    while (full.size() > root && full.back() == L'\\') full.pop_back();
    for (DWORD rights = kAddsOrReplaces;; rights = kReplaces) {
        const std::string shown = narrow(full);
        OwnedHandle folder{CreateFileW(
            full.c_str(), READ_CONTROL | FILE_READ_ATTRIBUTES,
            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
            FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr)};
        BY_HANDLE_FILE_INFORMATION information{};
        if (folder.handle == INVALID_HANDLE_VALUE ||
            !GetFileInformationByHandle(folder.handle, &information)) {
            return "whose folder " + shown + " cannot be checked";
        }
        // A link or junction anywhere on the way would let whoever may change its target
        // choose the folder. Wine shows a Unix symbolic link as one only by its path.
        const DWORD byPath = full.size() > root ? GetFileAttributesW(full.c_str()) : 0;
        if (byPath == INVALID_FILE_ATTRIBUTES) {
            return "whose folder " + shown + " cannot be checked";
        }
        if (((information.dwFileAttributes | byPath) & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
            return "whose folder " + shown + " is a link";
        }
        if ((information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
            return "whose folder " + shown + " is not a folder";
        }
        if (!onlyTrustedMayChange(folder.handle, rights)) {
            return "whose folder " + shown + " others may change";
        }
        if (full.size() <= root) return std::string();
        const size_t slash = full.rfind(L'\\');
        full.resize(slash == std::wstring::npos ? root : std::max(slash, root));
    }
}

}  // namespace

std::string processUserName() {
    wchar_t name[257];
    DWORD length = 257;
    if (!GetUserNameW(name, &length) || length == 0) return std::string();
    return narrow(std::wstring(name, length - 1));
}

std::string readLocalSecret(const std::string& directory, const std::string& name,
                            std::size_t maxBytes, long) {
    const std::string path = directory + "/" + name;
    // The server's account cannot be compared with the file's owner here (a file SYSTEM makes
    // belongs to the administrators), so the folder must be one that no one else can write to.
    const std::string untrusted = untrustedFolder(directory);
    if (!untrusted.empty()) refuse(path, untrusted);
    // A reparse point (link, junction) is opened as itself, so it is seen and
    // refused rather than followed; a pipe or device is not a disk file.
    OwnedHandle file{CreateFileW(wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                 OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr)};
    if (file.handle == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND) return std::string();
        refuse(path, "which cannot be read");
    }
    BY_HANDLE_FILE_INFORMATION information{};
    if (GetFileType(file.handle) != FILE_TYPE_DISK ||
        !GetFileInformationByHandle(file.handle, &information) ||
        (information.dwFileAttributes &
         (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DEVICE)) != 0) {
        refuse(path, "which is not a regular file");
    }
    if (information.nFileSizeHigh != 0 || information.nFileSizeLow > maxBytes) {
        refuse(path, "which is larger than a secret");
    }
    std::string contents(maxBytes + 1, '\0');
    DWORD filled = 0;
    while (filled < contents.size()) {
        DWORD read = 0;
        if (!ReadFile(file.handle, &contents[filled], static_cast<DWORD>(contents.size() - filled),
                      &read, nullptr)) {
            refuse(path, "which cannot be read");
        }
        if (read == 0) break;
        filled += read;
    }
    if (filled > maxBytes) refuse(path, "which is larger than a secret");
    contents.resize(filled);
    return contents;
}

long trustedSocketOwner(const std::string&) { return kUnknownOwner; }

long listenerOwner(Uint32 port) {
    // Every listener on the port counts: Windows lets another account bind 127.0.0.1 beside a
    // server listening on every address, and the more specific binding gets the connections.
    bool listened = false;
    for (const ULONG family : {AF_INET, AF_INET6}) {
        std::vector<BYTE> table;
        DWORD result = ERROR_INSUFFICIENT_BUFFER;
        for (ULONG size = 0; result == ERROR_INSUFFICIENT_BUFFER;) {
            table.resize(size);
            result = GetExtendedTcpTable(table.data(), &size, FALSE, family,
                                         TCP_TABLE_OWNER_PID_LISTENER, 0);
        }
        if (result != NO_ERROR) return kUnknownOwner;
        const DWORD entries =
            table.size() >= sizeof(DWORD) ? *reinterpret_cast<const DWORD*>(table.data()) : 0;
        for (DWORD i = 0; i < entries; ++i) {
            DWORD localPort, pid;
            if (family == AF_INET) {
                const MIB_TCPROW_OWNER_PID& row =
                    reinterpret_cast<const MIB_TCPTABLE_OWNER_PID*>(table.data())->table[i];
                localPort = row.dwLocalPort;
                pid = row.dwOwningPid;
            } else {
                const MIB_TCP6ROW_OWNER_PID& row =
                    reinterpret_cast<const MIB_TCP6TABLE_OWNER_PID*>(table.data())->table[i];
                localPort = row.dwLocalPort;
                pid = row.dwOwningPid;
            }
            if (ntohs(static_cast<u_short>(localPort)) != port) continue;
            const std::vector<BYTE> account = accountOfProcess(pid);
            if (account.empty() ||
                !IsWellKnownSid(const_cast<BYTE*>(account.data()), WinLocalSystemSid)) {
                return kUnknownOwner;
            }
            listened = true;
        }
    }
    // LocalSystem stands where root does on POSIX.
    return listened ? 0 : kUnknownOwner;
}

}  // namespace Pegasus
