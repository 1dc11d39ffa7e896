// DNS service (SRV) records: how domain controllers and global catalogs are located.
#pragma once

#include <string>
#include <vector>

namespace qv::posix {

// The target host names of the SRV records of `name` (e.g. "_gc._tcp.corp.example.com"), best
// first: lowest priority, then highest weight. Empty when there are none or DNS does not answer
// (one try, one second).
std::vector<std::string> serviceHosts(const std::string& name);

// The same for the forest of `domain`: tries "_gc._tcp." + domain and then each parent domain of
// two labels or more, since the records live in the forest's root domain.
std::vector<std::string> globalCatalogHosts(const std::string& domain);

}  // namespace qv::posix
