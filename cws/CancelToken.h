#pragma once

#include <atomic>
#include <memory>

namespace CWS {

// A request to stop a background job, shared by whoever started it and every thread of the
// job: copies share one flag. Cancelling cannot be taken back; a new job takes a new token.
class CancelToken
{
public:
    CancelToken() : m_flag(std::make_shared<std::atomic_bool>(false)) {}

    void cancel() const { m_flag->store(true); }
    bool isCancelled() const { return m_flag->load(); }

private:
    std::shared_ptr<std::atomic_bool> m_flag;
};

} // namespace CWS
