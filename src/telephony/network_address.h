// Host names to addresses the way the rest of the system resolves them, and
// the local address through which the host is reached.
#pragma once

#include <string>

namespace qav {

// getaddrinfo, so that /etc/hosts and the system's resolver order apply;
// IPv4 first. Empty when the name does not resolve.
std::string resolveHost(const std::string& host);

// The address of the local interface the kernel would use towards the given
// numeric host; no packet is sent. Empty when there is no route.
std::string localAddressTowards(const std::string& numericHost);

bool isNumericHost(const std::string& host);

}  // namespace qav
