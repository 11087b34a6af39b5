#pragma once

#include <cstddef>

namespace qor::platform::net {

// A transfer that moved this many body bytes leaves buffers of about its size behind it.
inline constexpr std::size_t kLargeTransferBytes = 1024 * 1024;

// After a large transfer: the C library gives back to the system what its allocator holds free,
// a second after the last large transfer ended (by then the buffers made from its body have been
// let go of). Once a block this large has been freed, the allocator places the next ones in its
// arenas instead of mapping each on its own, and keeps them after they are freed: without this, a
// 4 MiB answer leaves the resident set over 20 MB higher long after it was handled. The giving
// back runs on a worker, never on the main thread, and only after large transfers.
void releaseFreedMemoryAfterLargeTransfer();

}  // namespace qor::platform::net
