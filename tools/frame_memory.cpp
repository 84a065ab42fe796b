// The frame's buffers on huge pages where the kernel offers them. They are
// the only large aligned allocations scanvane-render makes (render/ and app/ ask
// for 16-byte aligned arrays), and a one-frame run spends most of its time
// faulting their pages in, a 4 KB page at a time: 2 MB pages make that a few
// faults. Replacing the aligned operator new here keeps files, windows and
// the kernel out of the layers below. Elsewhere the standard one stays.
#ifdef __linux__
#include <cstdlib>
#include <new>
#include <sys/mman.h>

// Below this an allocation is not worth a huge page of its own.
static const size_t HugePageBytes = 2 * 1024 * 1024;

void *operator new(std::size_t size, std::align_val_t alignment) {
    size_t align = (size_t)alignment;
    if (size >= HugePageBytes) align = HugePageBytes;
    size_t rounded = (size + align - 1) / align * align; // aligned_alloc wants a multiple
    void *p = std::aligned_alloc(align, rounded ? rounded : align);
    if (!p) throw std::bad_alloc();
    if (size >= HugePageBytes)
        madvise(p, rounded, MADV_HUGEPAGE); // a hint: failure changes nothing
    return p;
}
void *operator new[](std::size_t size, std::align_val_t alignment) {
    return ::operator new(size, alignment);
}
void operator delete(void *p, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void *p, std::align_val_t) noexcept { std::free(p); }
void operator delete(void *p, std::size_t, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void *p, std::size_t, std::align_val_t) noexcept { std::free(p); }
#endif
