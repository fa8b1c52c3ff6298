// The Add/Remove Programs entry: the key that makes the product removable from the Control
// Panel and by which later runs find an installed copy.
#pragma once

#include <string>

namespace corv::inst {

// HKEY_LOCAL_MACHINE\ + this + the display name.
constexpr const char* kUninstallKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

// The entry's values, in the order they are written.
struct AddRemoveEntry {
    std::string displayName;
    std::string uninstallString;  // the uninstaller: UninstallerPath(target folder)
    std::string installLocation;  // the target folder
    std::string displayIcon;
    std::string urlInfoAbout;
    std::string publisher;
    std::string contact;
    std::string displayVersion;
};

// "<folder>\uninst.exe".
std::string UninstallerPath(const std::string& targetFolder);

// Creates the key and its eight values, logging each step. Failures are logged and ignored;
// false when any step failed or nothing was written (empty display name).
bool WriteAddRemoveEntry(const AddRemoveEntry& entry);

// Deletes the entry's key with its values: "del regkey: ..." and the result. False on
// failure, and when the display name is empty (nothing is touched then).
bool RemoveAddRemoveEntry(const std::string& displayName);

// Reads the entry back; values that are missing or not strings stay empty. False when the
// key cannot be opened.
bool ReadAddRemoveEntry(const std::string& displayName, AddRemoveEntry* out);

}  // namespace corv::inst
