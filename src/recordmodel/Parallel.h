#pragma once
// Work on many records shared among the processor's cores (at most 4): f(i, thread) for every i
// from 0 to n - 1, each on one thread (numbered from 0); returns when all are done. Each i is
// handled by exactly one thread, so f may write to the i-th element of a list made beforehand.

#include <algorithm>
#include <thread>
#include <vector>

namespace records {

template <class F>
void inParallel(int n, F f)
{
    const int threads = std::clamp(int(std::thread::hardware_concurrency()), 1, 4);
    if (threads == 1 || n < 64) {
        for (int i = 0; i < n; ++i)
            f(i, 0);
        return;
    }
    std::vector<std::thread> pool;
    for (int t = 0; t < threads; ++t)
        pool.emplace_back([=] {
            for (int i = t; i < n; i += threads)
                f(i, t);
        });
    for (std::thread &thread : pool)
        thread.join();
}

} // namespace records
