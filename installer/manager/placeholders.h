// The placeholders that are known only once the target folder and who the product is
// installed for are final: the job replaces them in every item before using it.
#pragma once

#include <string>

#include "installer/description/description.h"

namespace corv::inst {

struct InstallPlaces {
    std::string targetFolder;
    InstallFor installFor = InstallFor::Unset;
    std::string uninstallString;
};

// $TargetFolder, $TargetHKEY, $StartMenuFolder, $StartMenuProgramsFolder, $DesktopFolder,
// $StartupFolder and $UninstallString; every other name stays as written (the reader has
// replaced what it knew).
PlaceholderLookup InstallPlaceholders(const InstallPlaces& places);
// `text` with those placeholders replaced.
std::string ExpandInstallPlaceholders(const std::string& text, const InstallPlaces& places);

}  // namespace corv::inst
