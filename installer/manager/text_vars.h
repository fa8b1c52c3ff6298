// The text variables every wizard text, message and progress text passes through.
#pragma once

#include <string>
#include <vector>

#include "installer/manager/action.h"

namespace corv::inst {

struct TextVariables {
    std::string company;      // $Company
    std::string productHead;  // $ProductHead: the product name for headings
    std::string products;     // $Products: the product, or the chosen components
    std::string product;      // $Product
    std::string oldVersion;   // $oldversion: the installed version
    std::string newVersion;   // $newversion: the package's version
    std::string nutc;         // $nutc: the title of the NuTCRACKER component
    std::string completed;    // $Completed: "Completed", "Failed" or "Cancelled"
    InstallAction action = InstallAction::NOTSET;  // picks the action words
};

// Replaces the variables, case-sensitively, the longer of two names that begin alike first
// ("$Installation" before "$Install", "$Products" before "$Product"). Replaced values are not
// searched again, so a product name holding "$install" stays as it is.
std::string Substitute(const std::string& text, const TextVariables& vars);

// The action's log file name: "install.log", "update.log" or "uninstall.log".
const char* LogFileName(InstallAction action);
// "install", "update" or "uninstall".
const char* ActionWord(InstallAction action);

// "$Products" for chosen components: their titles joined with " and ", then "component" or
// "components".
std::string ComponentsText(const std::vector<std::string>& titles);

}  // namespace corv::inst
