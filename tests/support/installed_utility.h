#ifndef BROCADE_TEST_INSTALLED_UTILITY_H
#define BROCADE_TEST_INSTALLED_UTILITY_H

#include <filesystem>
#include <string>
#include <system_error>

// The fake utility installed where the module looks for bcu.exe: under a "ProgramFiles"
// directory, with the vendor's relative path. What the installation created is removed with the
// object; a directory that was there before stays.
class InstalledUtility {
  public:
    InstalledUtility(const std::filesystem::path& programFiles,
                     const std::filesystem::path& fakeBcu) {
        namespace fs = std::filesystem;
        const fs::path directory = programFiles / "Brocade" / "Adapter" / "Driver" / "util";
        created = directory;
        while (!fs::exists(created.parent_path())) created = created.parent_path();
        fs::create_directories(directory);
        path = (directory / "bcu.exe").string();
        fs::copy_file(fakeBcu, path, fs::copy_options::overwrite_existing);
    }
    ~InstalledUtility() {
        std::error_code ignored;
        std::filesystem::remove_all(created, ignored);
    }
    InstalledUtility(const InstalledUtility&) = delete;
    InstalledUtility& operator=(const InstalledUtility&) = delete;

    std::string path;  // of the installed bcu.exe

  private:
    std::filesystem::path created;
};

#endif
