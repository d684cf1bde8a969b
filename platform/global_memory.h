/* Global memory blocks: the memory that libraries hand to their callers across a C interface (the
 * printer driver frees what the cover sheet renderer returns). A block is allocated, locked to get
 * its address, unlocked and freed; every block of this layer is movable and zero-filled. Handles
 * are checked: a handle that is not a live block is refused, never dereferenced blindly.
 *
 *   HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size);  0 when it cannot be had
 *   void* p = GlobalLock(h);     the block's bytes (NULL for a dead handle); locks nest
 *   GlobalUnlock(h);             nonzero while locks remain, 0 when the last lock is gone
 *   GlobalFree(h);               NULL on success, h itself when h is not a live block
 *   GlobalSize(h);               the size asked for, 0 for a dead handle
 *
 * A block may be freed while locked; its address is then no longer valid. */
#ifndef QELTA_PLATFORM_GLOBAL_MEMORY_H
#define QELTA_PLATFORM_GLOBAL_MEMORY_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef void* HGLOBAL;

#define GMEM_FIXED 0x0000
#define GMEM_MOVEABLE 0x0002
#define GMEM_ZEROINIT 0x0040
#define GMEM_SHARE 0x2000
#define GHND (GMEM_MOVEABLE | GMEM_ZEROINIT)

/* Every block is zero-filled and movable whatever the flags; flags are kept for the callers. */
__attribute__((visibility("default"))) HGLOBAL GlobalAlloc(uint32_t flags, size_t size);
__attribute__((visibility("default"))) void* GlobalLock(HGLOBAL block);
__attribute__((visibility("default"))) int32_t GlobalUnlock(HGLOBAL block);
__attribute__((visibility("default"))) HGLOBAL GlobalFree(HGLOBAL block);
__attribute__((visibility("default"))) size_t GlobalSize(HGLOBAL block);

#ifdef __cplusplus
}
#endif

#endif
