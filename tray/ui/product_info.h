// What the about box tells about the product.
#pragma once

namespace corv {

extern const char* const kProductName;        // "Corvane"
extern const char* const kProductVersion;     // "1.0.1-0250"
extern const char* const kServiceWebAddress;  // where the service is, a deployment value

}  // namespace corv
