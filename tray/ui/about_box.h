// The about box: the logo, the product, its version and the service's web address.
#pragma once

#include <windows.h>

namespace corv {

// Modal over the owner; returns when the user closes it.
void ShowAboutBox(HWND owner);

}  // namespace corv
