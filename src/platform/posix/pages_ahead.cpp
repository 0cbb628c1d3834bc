// Pages mapped ahead of a writer on a thread of their own (see
// core::PagesAhead): MADV_POPULATE_WRITE maps a range's pages in one call,
// far cheaper than a fault for each, and on the second processor it costs
// the writer nothing. The thread works from the block's end back, so that it
// and the writer each fault in a part and meet, rather than the thread
// trailing behind a faster writer. Ranges go in slices, so that a writer that
// stops early (a damaged stream) waits for one slice at most.
#include <pthread.h>
#include <sys/mman.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <new>

#include "core/memory.h"
#include "platform/posix/host.h"

#ifndef MADV_POPULATE_WRITE
#define MADV_POPULATE_WRITE 23
#endif

namespace kova::platform::posix {
namespace {

// Below this the faults cost less than starting a thread.
constexpr std::size_t kSmallestBlock = std::size_t{16} << 20;
constexpr std::size_t kSlice = std::size_t{4} << 20;

struct Work {
  pthread_t thread;
  std::uintptr_t begin = 0;
  std::uintptr_t end = 0;
  std::atomic<bool> stop{false};
};

void* MapPages(void* argument) {
  auto* work = static_cast<Work*>(argument);
  for (std::uintptr_t at = work->end; at > work->begin && !work->stop.load(std::memory_order_relaxed);) {
    std::size_t length = at - work->begin < kSlice ? at - work->begin : kSlice;
    at -= length;
    // A kernel without the advice (EINVAL) leaves the faults to the writer.
    if (madvise(reinterpret_cast<void*>(at), length, MADV_POPULATE_WRITE) != 0) break;
  }
  return nullptr;
}

void Release(Work* work) {
  work->~Work();
  core::Release(work);
}

void* Start(void* block, std::size_t size) {
  if (size < kSmallestBlock) return nullptr;
  auto page = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
  auto* work = new (core::Allocate(sizeof(Work))) Work;
  // Whole pages inside the block only: the advice is given per page.
  work->begin = (reinterpret_cast<std::uintptr_t>(block) + page - 1) & ~(page - 1);
  work->end = (reinterpret_cast<std::uintptr_t>(block) + size) & ~(page - 1);
  if (work->end <= work->begin || pthread_create(&work->thread, nullptr, MapPages, work) != 0) {
    Release(work);
    return nullptr;
  }
  return work;
}

void Finish(void* token) {
  auto* work = static_cast<Work*>(token);
  work->stop.store(true, std::memory_order_relaxed);
  pthread_join(work->thread, nullptr);
  Release(work);
}

constexpr core::PagesAheadHandler kHandler = {Start, Finish};

}  // namespace

void MapPagesAhead() { core::SetPagesAheadHandler(&kHandler); }

}  // namespace kova::platform::posix
