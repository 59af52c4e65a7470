#include "LargeBlocks.h"

#include <malloc.h>

void KeepLargeBlocksForReuse()
{
    constexpr int MapThreshold = 64 * 1024 * 1024;
    constexpr int TrimThreshold = 128 * 1024 * 1024;
    mallopt(M_MMAP_THRESHOLD, MapThreshold);
    mallopt(M_TRIM_THRESHOLD, TrimThreshold);
}
