// Per-thread blocks that are freed with their thread: one fiber-local slot
// per purpose, allocated with a release callback that the system calls with
// the thread's block when the thread (or fiber) ends. Used by the runtime
// hooks (the exception globals) and by the fault translation (its slots).
#pragma once

#include <windows.h>

#include <cstddef>

namespace pravel {

// The slot kept in `index` (FLS_OUT_OF_INDEXES until the first call): on
// the first call it is allocated with `release` as its callback, once per
// process even when threads race. FLS_OUT_OF_INDEXES when the system has no
// slot left; the caller then goes without.
inline DWORD FiberSlotIndex(volatile LONG& index, PFLS_CALLBACK_FUNCTION release) noexcept {
    DWORD slot = static_cast<DWORD>(index);
    if (slot != FLS_OUT_OF_INDEXES) return slot;
    slot = ::FlsAlloc(release);
    if (slot == FLS_OUT_OF_INDEXES) return slot;
    const LONG previous = ::InterlockedCompareExchange(&index, static_cast<LONG>(slot),
                                                       static_cast<LONG>(FLS_OUT_OF_INDEXES));
    if (previous != static_cast<LONG>(FLS_OUT_OF_INDEXES)) {
        ::FlsFree(slot);  // another thread was first
        slot = static_cast<DWORD>(previous);
    }
    return slot;
}

// A new zeroed block of `size` bytes from the process heap, set as the
// calling thread's value of `slot`; null (nothing allocated) when the block
// cannot be had or set.
inline void* NewFiberBlock(DWORD slot, size_t size) noexcept {
    void* block = ::HeapAlloc(::GetProcessHeap(), HEAP_ZERO_MEMORY, size);
    if (block != nullptr && !::FlsSetValue(slot, block)) {
        ::HeapFree(::GetProcessHeap(), 0, block);
        block = nullptr;
    }
    return block;
}

// Gives a block of NewFiberBlock back to the heap (null is ignored); the
// release callback of a slot whose blocks need no other clean-up.
inline void NTAPI FreeFiberBlock(void* block) noexcept {
    if (block != nullptr) ::HeapFree(::GetProcessHeap(), 0, block);
}

}  // namespace pravel
