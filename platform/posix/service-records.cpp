// DNS SRV look-ups through the resolver library, with short waits.
#include "platform/posix/service-records.h"

#include <arpa/nameser.h>
#include <netinet/in.h>
#include <resolv.h>

#include <algorithm>
#include <tuple>

namespace qv::posix {

std::vector<std::string> serviceHosts(const std::string& name) {
    struct __res_state rs {};
    if (res_ninit(&rs) != 0) return {};
    rs.retrans = 1;
    rs.retry = 1;
    unsigned char answer[4096];
    const int len = res_nquery(&rs, name.c_str(), ns_c_in, ns_t_srv, answer, sizeof answer);
    struct Record {
        unsigned priority, weight;
        std::string host;
    };
    std::vector<Record> records;
    ns_msg msg {};
    if (len > 0 && ns_initparse(answer, len, &msg) == 0) {
        for (int i = 0; i < ns_msg_count(msg, ns_s_an); ++i) {
            ns_rr rr {};
            if (ns_parserr(&msg, ns_s_an, i, &rr) != 0 || ns_rr_type(rr) != ns_t_srv || ns_rr_rdlen(rr) < 7) continue;
            const unsigned char* data = ns_rr_rdata(rr);
            char target[NS_MAXDNAME];
            if (ns_name_uncompress(ns_msg_base(msg), ns_msg_end(msg), data + 6, target, sizeof target) < 0) continue;
            if (target[0] == '\0' || std::string(target) == ".") continue;  // "no such service here"
            records.push_back({ns_get16(data), ns_get16(data + 2), target});
        }
    }
    res_nclose(&rs);
    std::stable_sort(records.begin(), records.end(), [](const Record& a, const Record& b) {
        return std::tie(a.priority, b.weight) < std::tie(b.priority, a.weight);
    });
    std::vector<std::string> hosts;
    for (Record& r : records) hosts.push_back(std::move(r.host));
    return hosts;
}

std::vector<std::string> globalCatalogHosts(const std::string& domain) {
    std::string d = domain;
    while (d.find('.') != std::string::npos) {
        std::vector<std::string> hosts = serviceHosts("_gc._tcp." + d);
        if (!hosts.empty()) return hosts;
        d = d.substr(d.find('.') + 1);
    }
    return {};
}

}  // namespace qv::posix
