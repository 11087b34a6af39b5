#include "Networking/Client/Session/SessionTask.h"

namespace qor {
namespace {

std::shared_ptr<platform::URLSessionDataTask> makeTask(platform::URLSession& session,
                                                       const platform::URLRequest& request,
                                                       const std::optional<platform::URL>& fileURL) {
    if (fileURL) return session.uploadTask(request, *fileURL);
    return session.dataTask(request);
}

}  // namespace

SessionTask::SessionTask(std::shared_ptr<platform::URLSession> session, platform::URLRequest request,
                         const std::optional<platform::URL>& fileURL)
    : request(std::move(request)),
      session(std::move(session)),
      task(makeTask(*this->session, this->request, fileURL)) {}

}  // namespace qor
