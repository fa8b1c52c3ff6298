#include "installer/manager/placeholders.h"

#include "installer/sys/system_info.h"
#include "installer/sys/text_util.h"

namespace corv::inst {

PlaceholderLookup InstallPlaceholders(const InstallPlaces& places) {
    return [places](const std::string& name, std::string* value) {
        bool allUsers = places.installFor == InstallFor::AllUsers;
        static const struct {
            const char* name;
            ShellFolder folder;
        } kFolders[] = {
            {"StartMenuFolder", ShellFolder::StartMenu},
            {"StartMenuProgramsFolder", ShellFolder::Programs},
            {"DesktopFolder", ShellFolder::Desktop},
            {"StartupFolder", ShellFolder::Startup},
        };
        if (NoCase(name, "TargetFolder")) {
            *value = places.targetFolder;
        } else if (NoCase(name, "TargetHKEY")) {
            *value = allUsers                                     ? "HKEY_LOCAL_MACHINE"
                     : places.installFor == InstallFor::OnlyForMe ? "HKEY_CURRENT_USER"
                                                                  : "";
        } else if (NoCase(name, "UninstallString")) {
            *value = places.uninstallString;
        } else {
            bool found = false;
            for (const auto& f : kFolders) {
                if (NoCase(name, f.name)) {
                    *value = places.installFor == InstallFor::Unset
                                 ? std::string()
                                 : GetShellFolder(f.folder, allUsers);
                    found = true;
                    break;
                }
            }
            if (!found) return false;
        }
        return !value->empty();
    };
}

std::string ExpandInstallPlaceholders(const std::string& text, const InstallPlaces& places) {
    if (text.find('$') == std::string::npos) return text;
    return ExpandPlaceholders(text, InstallPlaceholders(places));
}

}  // namespace corv::inst
