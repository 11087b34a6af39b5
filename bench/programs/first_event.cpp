// Starts the SDK on a fresh app home and tracks one event, then says so on standard output: the
// event is in the batch file once `track` has returned. Everything start-up reaches is pointed
// by the caller at a closed loopback port, so nothing leaves the machine.
#include <unistd.h>

#include <memory>
#include <optional>

#include "AdNetwork/QOR.h"

int main() {
    qor::QOR::start(std::make_shared<qor::QOR::Config>("startup-bench", std::nullopt));
    qor::QOR::track("First Event");
    const char done = '.';
    return write(STDOUT_FILENO, &done, 1) == 1 ? 0 : 1;
}
