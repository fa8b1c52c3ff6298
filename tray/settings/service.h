// Deployment values of the service the client belongs to. A build for a live service puts its
// own values in service.cpp; nothing else in the program names them.
#pragma once

#include <string>

namespace corv {

// The service's domain name; account digests are made with it (see credentials.h).
const std::string& ServiceDomain();
// The domain with a colon before and after it, as it stands between user id and password.
std::string ServiceDomainMarker();
// The service's web site, opened when no account address is configured.
const std::string& ServiceWebAddress();

}  // namespace corv
