#include "Networking/Client/Session/SessionTask.h"

namespace qor {
namespace {

std::shared_ptr<platform::URLSessionDataTask> makeTask(platform::URLSession& session, platform::URLRequest request,
                                                       const std::optional<platform::URL>& fileURL) {
    if (fileURL) return session.uploadTask(std::move(request), *fileURL);
    return session.dataTask(std::move(request));
}

}  // namespace

SessionTask::SessionTask(std::shared_ptr<platform::URLSession> session, platform::URLRequest request,
                         const std::optional<platform::URL>& fileURL)
    : session(std::move(session)), task(makeTask(*this->session, std::move(request), fileURL)) {}

}  // namespace qor
