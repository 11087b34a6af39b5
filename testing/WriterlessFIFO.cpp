#include "testing/WriterlessFIFO.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

namespace qor::testing {

WriterlessFIFO::WriterlessFIFO() : path_(folder_.file("pipe")) {
    if (mkfifo(path_.c_str(), 0600) != 0) throw std::system_error(errno, std::generic_category(), "mkfifo");
}

WriterlessFIFO::~WriterlessFIFO() {
    // Fails at once when no reader waits; otherwise wakes them all, and closing gives them the end.
    const int writer = open(path_.c_str(), O_WRONLY | O_NONBLOCK);
    if (writer >= 0) close(writer);
}

}  // namespace qor::testing
