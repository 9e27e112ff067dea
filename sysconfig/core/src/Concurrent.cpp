#include "nconfig/Concurrent.h"

#include <algorithm>
#include <atomic>
#include <thread>
#include <vector>

namespace nconfig {

void RunConcurrently(size_t count, int jobs, const std::function<void(size_t)>& work)
{
    const size_t threads = std::min(count, static_cast<size_t>(std::max(jobs, 1)));
    if (threads <= 1) {
        for (size_t i = 0; i < count; ++i) work(i);
        return;
    }
    std::atomic<size_t> next{0};
    std::vector<std::thread> pool;
    pool.reserve(threads);
    for (size_t t = 0; t < threads; ++t) {
        pool.emplace_back([&] {
            for (size_t i = next++; i < count; i = next++) work(i);
        });
    }
    for (std::thread& t : pool) t.join();
}

} // namespace nconfig
