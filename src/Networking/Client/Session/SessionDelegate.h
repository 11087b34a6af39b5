#pragma once

#include "Networking/Client/Session/SessionTask.h"
#include "Platform/Foundation/NSLock.h"
#include "Platform/Net/URLSessionDelegate.h"

#include <cstdint>
#include <memory>
#include <unordered_map>

namespace qor {

// The interface through which the URL session reports; SessionDelegate is its one conformer.
class SessionDelegateType : public platform::URLSessionDataDelegate {
public:
    virtual void registerTask(std::shared_ptr<SessionTask> task) = 0;
    virtual std::shared_ptr<SessionTask> removeTask(const platform::URLSessionTask& task) = 0;
    virtual std::shared_ptr<SessionTask> sessionTask(const platform::URLSessionTask& task) const = 0;
    virtual std::size_t taskCount() const = 0;
};

// Keeps the running tasks by task identifier, gathers their bytes and, when one ends, removes
// it from the table and runs its result handling. The lock guards the table only and is never
// held while calling out.
class SessionDelegate final : public SessionDelegateType {
public:
    SessionDelegate() = default;

    void registerTask(std::shared_ptr<SessionTask> task) override;
    std::shared_ptr<SessionTask> removeTask(const platform::URLSessionTask& task) override;
    std::shared_ptr<SessionTask> sessionTask(const platform::URLSessionTask& task) const override;
    std::size_t taskCount() const override;

    void didReceiveData(platform::URLSession& session, platform::URLSessionDataTask& task,
                        const platform::Data& data) override;
    void didCompleteWithError(platform::URLSession& session, platform::URLSessionTask& task,
                              std::optional<platform::URLError> error) override;

private:
    mutable platform::NSLock lock_;
    std::unordered_map<std::int64_t, std::shared_ptr<SessionTask>> tasks_;
};

}  // namespace qor
