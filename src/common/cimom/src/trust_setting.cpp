#include "trust_setting.h"

#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>

#include <nlohmann/json.hpp>

#include "certificate_facts.h"
#include "module_location.h"
#include "regular_file.h"

namespace {

const char* const kTrustVariable = "VORNET_BROCADE_TRUST";
const char* const kTrustFileName = "brocade_trust.json";
// A handful of keys and fingerprints; anything near this size is not a trust setting.
const std::size_t kTrustFileLimit = 64 * 1024;
// The operating systems' own bundles of every public CA stay well below this.
const std::size_t kCaBundleLimit = 4 * 1024 * 1024;

// Thrown inside this unit only, for a setting of the wrong shape.
struct ShapeError {
    std::string what;
};

// A fingerprint as 64 lower-case hex digits: colons are dropped, case is ignored. Anything else
// is refused rather than never matching, so that a typing error is told, not silently unpinned.
std::string Fingerprint(const nlohmann::json& value, const std::string& where) {
    if (!value.is_string()) {
        throw ShapeError{where + " must be a text of hex digits"};
    }
    std::string digits;
    for (const char c : value.get<std::string>()) {
        if (c == ':') continue;
        if (!std::isxdigit(static_cast<unsigned char>(c))) {
            throw ShapeError{where + " holds a character that is not a hex digit"};
        }
        digits += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    if (digits.size() != 64) {
        throw ShapeError{where + " must be a SHA-256 fingerprint (64 hex digits)"};
    }
    return digits;
}

std::vector<std::string> Fingerprints(const nlohmann::json& value, const std::string& where) {
    if (value.is_string()) {
        return {Fingerprint(value, where)};
    }
    if (!value.is_array() || value.empty()) {
        throw ShapeError{where + " must be a fingerprint or a non-empty list of them"};
    }
    std::vector<std::string> fingerprints;
    for (std::size_t index = 0; index < value.size(); ++index) {
        fingerprints.push_back(
            Fingerprint(value[index], where + "[" + std::to_string(index) + "]"));
    }
    return fingerprints;
}

std::string LowerCase(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

void ReadPins(const nlohmann::json& pins, TrustSetting& setting) {
    if (pins.is_array()) {
        setting.pinsForEveryServer = Fingerprints(pins, "\"pins\"");
        return;
    }
    if (!pins.is_object() || pins.empty()) {
        throw ShapeError{
            "\"pins\" must be a list of fingerprints or an object keyed by "
            "\"host:port\""};
    }
    for (const auto& server : pins.items()) {
        const std::string& key = server.key();
        const std::size_t colon = key.rfind(':');
        const bool portGiven = colon != std::string::npos && colon > 0 && colon + 1 < key.size() &&
                               key.find_first_not_of("0123456789", colon + 1) == std::string::npos;
        if (!portGiven) {
            throw ShapeError{"\"pins\" key \"" + key + "\" is not \"host:port\""};
        }
        setting.pinsByServer[LowerCase(key)] =
            Fingerprints(server.value(), "\"pins\".\"" + key + "\"");
    }
}

void ReadCaBundle(const nlohmann::json& value, const std::string& settingPath,
                  TrustSetting& setting) {
    if (!value.is_string() || value.get<std::string>().empty()) {
        throw ShapeError{"\"ca_bundle\" must be the path of a PEM file"};
    }
    std::filesystem::path bundle = std::filesystem::u8path(value.get<std::string>());
    if (bundle.is_relative()) {
        bundle = std::filesystem::u8path(settingPath).parent_path() / bundle;
    }
    setting.caBundle = bundle.u8string();
    // Checked whole now: a bundle that cannot serve would otherwise fail every connect step,
    // with no line naming the setting.
    std::string pem;
    const Vornet::RegularFileRead read =
        Vornet::ReadRegularFile(setting.caBundle, kCaBundleLimit, &pem);
    if (read != Vornet::RegularFileRead::kRead) {
        throw ShapeError{"\"ca_bundle\" " + setting.caBundle +
                         " cannot be read: " + Vornet::RegularFileReadText(read, kCaBundleLimit)};
    }
    static const std::string kBegin = "-----BEGIN CERTIFICATE-----";
    static const std::string kEnd = "-----END CERTIFICATE-----";
    for (std::size_t begin = pem.find(kBegin); begin != std::string::npos;
         begin = pem.find(kBegin, begin + kBegin.size())) {
        const std::size_t end = pem.find(kEnd, begin);
        CertificateFacts facts;
        if (end != std::string::npos &&
            ReadCertificate(pem.substr(begin, end + kEnd.size() - begin), facts)) {
            return;
        }
    }
    throw ShapeError{"\"ca_bundle\" " + setting.caBundle + " holds no PEM certificate"};
}

// The file to read, and whether an operator named it. Without the module's folder the default
// place is unknown, which must not quietly mean "no setting".
std::string TrustPath(bool& named) {
    const char* configured = std::getenv(kTrustVariable);
    named = configured != nullptr && configured[0] != '\0';
    if (named) {
        return configured;
    }
    const std::string directory = ModuleDirectory();
    if (directory.empty()) {
        throw std::runtime_error("the module's folder, where " + std::string(kTrustFileName) +
                                 " would be, is unknown");
    }
    return directory + kTrustFileName;
}

}  // namespace

TrustSetting ParseTrustSetting(const std::string& text, const std::string& path) {
    TrustSetting setting;
    setting.path = path;
    setting.state = TrustSetting::State::Faulty;
    try {
        const nlohmann::json document = nlohmann::json::parse(text);
        if (!document.is_object()) {
            throw ShapeError{"the top level must be an object"};
        }
        // A misspelt key would otherwise leave a check the operator asked for switched off.
        for (const auto& entry : document.items()) {
            const std::string& key = entry.key();
            if (key == "ca_bundle") {
                ReadCaBundle(entry.value(), path, setting);
            } else if (key == "pins") {
                ReadPins(entry.value(), setting);
            } else if (key == "check_host_name") {
                if (!entry.value().is_boolean()) {
                    throw ShapeError{"\"check_host_name\" must be true or false"};
                }
                setting.checkHostName = entry.value().get<bool>();
            } else {
                throw ShapeError{"unknown key \"" + key +
                                 "\" (expected ca_bundle, pins, check_host_name)"};
            }
        }
        // A setting that checks nothing would accept any server while seeming to guard them.
        if (setting.caBundle.empty() && setting.pinsForEveryServer.empty() &&
            setting.pinsByServer.empty() && !setting.checkHostName) {
            throw ShapeError{"checks nothing: give ca_bundle, pins or check_host_name true"};
        }
    } catch (const nlohmann::json::exception& error) {
        setting.fault = std::string("is not valid JSON: ") + error.what();
        return setting;
    } catch (const ShapeError& error) {
        setting.fault = "has the wrong shape: " + error.what;
        return setting;
    } catch (const std::exception& error) {
        setting.fault = std::string("cannot be used: ") + error.what();
        return setting;
    }
    setting.state = TrustSetting::State::Valid;
    return setting;
}

TrustSetting LoadTrustSetting() {
    TrustSetting setting;
    setting.path = kTrustFileName;
    try {
        bool named = false;
        setting.path = TrustPath(named);
        std::string text;
        const Vornet::RegularFileRead read =
            Vornet::ReadRegularFile(setting.path, kTrustFileLimit, &text);
        if (read == Vornet::RegularFileRead::kRead) {
            return ParseTrustSetting(text, setting.path);
        }
        // A file the operator named and lost (a typing error, a volume not mounted) must not
        // quietly mean "trust any server".
        if (read == Vornet::RegularFileRead::kMissing && !named) {
            return setting;
        }
        setting.fault = "cannot be used: " + Vornet::RegularFileReadText(read, kTrustFileLimit);
    } catch (const std::exception& error) {
        setting.fault = std::string("cannot be read: ") + error.what();
    }
    setting.state = TrustSetting::State::Faulty;
    return setting;
}
