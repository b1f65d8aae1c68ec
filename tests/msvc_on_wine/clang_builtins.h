// Force-included in the MSVC-mode check. Stands in for the Windows SDK's
// winnt.h on one point: Wine's winnt.h defines these interlocked functions
// inline, and clang-cl knows them as built-ins, which may not be defined.
// Renamed, Wine's definitions are only unused inline functions.
#pragma once
#define _InterlockedCompareExchange128 __wine_InterlockedCompareExchange128
#define _InterlockedAnd64 __wine_InterlockedAnd64
#define _InterlockedCompareExchangePointer __wine_InterlockedCompareExchangePointer
#define _InterlockedDecrement64 __wine_InterlockedDecrement64
#define _InterlockedExchangeAdd64 __wine_InterlockedExchangeAdd64
#define _InterlockedExchangePointer __wine_InterlockedExchangePointer
#define _InterlockedIncrement64 __wine_InterlockedIncrement64
#define _InterlockedOr64 __wine_InterlockedOr64
#define _InterlockedXor64 __wine_InterlockedXor64
