#pragma once

#include <cstddef>

namespace rssvane {

// Asks the kernel to back the 2 MB-aligned part of a large buffer with huge
// pages. A document of tens of megabytes otherwise costs one page fault per
// 4 KB as its tree and its copy fill up, which is a large share of reading
// it. Only advice: nothing changes when the system declines.
void AdviseHugePages(void* data, size_t size) noexcept;

}  // namespace rssvane
