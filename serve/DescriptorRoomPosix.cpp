// Korvane - the live screen on the network.
// SPDX-License-Identifier: MIT
#include "DescriptorRoom.h"

#include <algorithm>
#include <sys/resource.h>

namespace korvane {

unsigned DescriptorRoom::makeRoom(unsigned connections, unsigned others)
{
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0)
        return connections;
    const rlim_t wanted = rlim_t(connections) + others;
    if (limit.rlim_cur != RLIM_INFINITY && limit.rlim_cur < wanted) {
        rlimit raised = limit;
        raised.rlim_cur = limit.rlim_max == RLIM_INFINITY ? wanted : std::min(wanted, limit.rlim_max);
        if (::setrlimit(RLIMIT_NOFILE, &raised) == 0)
            limit = raised;
    }
    if (limit.rlim_cur == RLIM_INFINITY || limit.rlim_cur >= wanted)
        return connections;
    return limit.rlim_cur > others ? unsigned(limit.rlim_cur - others) : 1;
}

}  // namespace korvane
