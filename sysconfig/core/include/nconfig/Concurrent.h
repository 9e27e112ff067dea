// Work for many printers at once, bounded: the list check, the list-mode
// passes and qavctl's apply run each printer's exchanges on a thread of
// their own, at most `jobs` at a time, and keep their results in list
// order, so the outcome is the same as one printer after another.
#pragma once

#include <cstddef>
#include <functional>

namespace nconfig {

inline constexpr int kDefaultJobs = 16;

// Calls work(i) for every i in 0..count-1 on at most `jobs` threads (1: on
// the calling thread, in order) and returns when all calls have ended.
void RunConcurrently(size_t count, int jobs, const std::function<void(size_t)>& work);

} // namespace nconfig
