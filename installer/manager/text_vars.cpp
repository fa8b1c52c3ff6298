#include "installer/manager/text_vars.h"

#include <cstring>
#include <vector>

namespace corv::inst {

namespace {

enum Form { kDefault, kUpdate, kUninstall };

Form FormOf(InstallAction action) {
    if (IsUpdate(action)) return kUpdate;
    if (action == InstallAction::UNINSTALL) return kUninstall;
    return kDefault;
}

struct ActionWordRow {
    const char* name;
    const char* forms[3];  // install and others, update and patch, uninstall
};

// Longest first where one name begins another.
const ActionWordRow kActionWords[] = {
    {"$logfile", {"install.log", "update.log", "uninstall.log"}},
    {"$Installation", {"Installation", "Update", "Uninstallation"}},
    {"$installation", {"installation", "update", "uninstallation"}},
    {"$Installing", {"Installing", "Updating", "Uninstalling"}},
    {"$installing", {"installing", "updating", "uninstalling"}},
    {"$Installed", {"Installed", "Updated", "Uninstalled"}},
    {"$installed", {"installed", "updated", "uninstalled"}},
    {"$Install", {"Install", "Update", "Uninstall"}},
    {"$install", {"install", "update", "uninstall"}},
};

}  // namespace

std::string Substitute(const std::string& text, const TextVariables& vars) {
    const Form form = FormOf(vars.action);
    const struct {
        const char* name;
        const std::string* value;
    } names[] = {
        {"$Company", &vars.company},
        {"$ProductHead", &vars.productHead},
        {"$Products", &vars.products},
        {"$Product", &vars.product},
        {"$oldversion", &vars.oldVersion},
        {"$newversion", &vars.newVersion},
        {"$nutc", &vars.nutc},
        {"$Completed", &vars.completed},
    };
    std::string out;
    out.reserve(text.size() + 32);
    size_t pos = 0;
    for (size_t dollar = text.find('$'); dollar != std::string::npos;
         dollar = text.find('$', pos)) {
        out.append(text, pos, dollar - pos);
        const char* rest = text.c_str() + dollar;
        const char* value = nullptr;
        size_t length = 0;
        for (const auto& n : names) {
            if (std::strncmp(rest, n.name, std::strlen(n.name)) == 0) {
                value = n.value->c_str();
                length = std::strlen(n.name);
                break;
            }
        }
        for (size_t i = 0; !value && i < sizeof(kActionWords) / sizeof(kActionWords[0]); ++i) {
            const char* name = kActionWords[i].name;
            if (std::strncmp(rest, name, std::strlen(name)) == 0) {
                value = kActionWords[i].forms[form];
                length = std::strlen(name);
            }
        }
        if (value) {
            out.append(value);
            pos = dollar + length;
        } else {
            out.push_back('$');
            pos = dollar + 1;
        }
    }
    out.append(text, pos, std::string::npos);
    return out;
}

const char* LogFileName(InstallAction action) {
    return kActionWords[0].forms[FormOf(action)];
}

const char* ActionWord(InstallAction action) {
    return kActionWords[8].forms[FormOf(action)];
}

std::string ComponentsText(const std::vector<std::string>& titles) {
    std::string text;
    for (size_t i = 0; i < titles.size(); ++i) {
        if (i > 0) text += " and ";
        text += titles[i];
    }
    return text + (titles.size() == 1 ? " component" : " components");
}

}  // namespace corv::inst
