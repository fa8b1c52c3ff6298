#include "tray/ui/product_info.h"

namespace corv {

const char* const kProductName = "Corvane";
const char* const kProductVersion = "1.0.1-0250";
// Deployment value: a build for the live service puts its web address here. Until then it is
// a reserved name that reaches nobody; it is only shown, never opened.
const char* const kServiceWebAddress = "http://www.corvane.example/";

}  // namespace corv
