#ifndef QUAVREX_CORE_HUGE_PAGES_H_
#define QUAVREX_CORE_HUGE_PAGES_H_

#include <cstddef>

// Asks the system to back a large buffer that is about to be filled with huge pages, so that
// filling it takes one page fault per 2 MiB instead of one per 4 KiB (on a virtual machine a
// fault can cost microseconds). Only a hint: nothing happens on systems without it, or for
// buffers of less than a few huge pages; the buffer's contents are never touched.
void AdviseHugePages(const void* data, size_t bytes);

#endif  // QUAVREX_CORE_HUGE_PAGES_H_
