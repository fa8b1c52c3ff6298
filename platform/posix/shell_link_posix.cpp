#include "platform/errors.h"
#include "platform/file_ops.h"
#include "platform/shell_link.h"

namespace corv {

long CreateShellLink(const ShellLinkSpec& link) {
    return WriteFileBytes(link.path, "[link]\ntarget=" + link.target + "\narguments=" +
                                         link.arguments + "\nfolder=" + link.folder + "\n");
}

long BroadcastEnvironmentChange(unsigned) {
    return kErrNotSupported;
}

}  // namespace corv
