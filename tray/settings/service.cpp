#include "tray/settings/service.h"

namespace corv {

namespace {

// Deployment constants. Until a build for a live service sets them, they are a reserved name
// that reaches nobody.
const std::string kServiceDomain = "corvane.example";
const std::string kServiceWebAddress = "http://www.corvane.example/";

}  // namespace

const std::string& ServiceDomain() {
    return kServiceDomain;
}

std::string ServiceDomainMarker() {
    return ":" + kServiceDomain + ":";
}

const std::string& ServiceWebAddress() {
    return kServiceWebAddress;
}

}  // namespace corv
