// Opening a host path below a folder's descriptor in one step, never
// leaving the tree below it, whatever links on the way say or become while
// the path is resolved.
#pragma once

#include <sys/types.h>

#include <string_view>

#include "platform/unique_fd.h"

namespace velmora {

// Opens relative (host names joined by "/"; "" is the folder itself) below
// the folder rootFd with flags (O_CLOEXEC is added; O_CREAT is not
// supported: create with openat on a parent opened here and O_EXCL). Links
// inside the tree are followed, the last one too unless flags hold
// O_NOFOLLOW; ".." that climbs above rootFd, absolute links and links that
// lead out are refused. Invalid on failure, with errno set (EXDEV for a way
// out, ELOOP for more than MaxLinksFollowed links).
//
// Uses openat2 with RESOLVE_BENEATH where the kernel has it, else walks the
// path one component at a time with openat and O_NOFOLLOW, following each
// link itself.
UniqueFd OpenBeneath(int rootFd, std::string_view relative, int flags);

inline constexpr int MaxLinksFollowed = 40;

// Which way OpenBeneath resolves: Auto (openat2 when the kernel has it) or
// always the component walk. Tests run their cases both ways.
enum class BeneathResolver { Auto, ComponentWalk };
void SetBeneathResolver(BeneathResolver resolver);

}  // namespace velmora
