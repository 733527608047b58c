#include "view3d/allcores.h"

#include <algorithm>
#include <atomic>
#include <thread>
#include <vector>

void forEachOnAllCores(int n, const std::function<void(int)>& job)
{
    if (n <= 0)
        return;
    const int threads = std::min(n, std::max(1, int(std::thread::hardware_concurrency())));
    std::atomic<int> next{0};
    auto run = [&]() {
        for (int i = next.fetch_add(1); i < n; i = next.fetch_add(1))
            job(i);
    };
    std::vector<std::thread> helpers;
    helpers.reserve(std::size_t(threads - 1));
    for (int t = 1; t < threads; ++t)
        helpers.emplace_back(run);
    run();
    for (std::thread& h : helpers)
        h.join();
}
