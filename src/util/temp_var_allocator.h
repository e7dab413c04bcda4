// Temporaries and value stacks of a simulation model, by storage kind.
#ifndef LOOM_UTIL_TEMP_VAR_ALLOCATOR_H
#define LOOM_UTIL_TEMP_VAR_ALLOCATOR_H

#include "util/export.h"
#include "util/float_limb.h"

#include <gmp.h>
#include <mpfr.h>

#include <climits>
#include <cstddef>
#include <list>
#include <memory>
#include <vector>

// Temporaries and value stacks of the simulation references.
//
// A model creates one util::TempVarAllocator. Every reference takes its temporary from it, and
// expressions push and pop intermediate values on its per-kind stacks. resetAvailability()
// makes the same slots come back in the same order, so once the largest demand of a step has
// been met, later steps allocate nothing. Memory only grows, in blocks, until the allocator
// is destroyed; handed-out pointers stay valid until then.

namespace simulation {

// One GMP integer / one MPFR value, usable wherever GMP and MPFR expect their pointer types.
struct MPZ {
  mpz_t mValue;
  operator mpz_ptr() { return mValue; }
  operator mpz_srcptr() const { return mValue; }
};

struct MPFR {
  mpfr_t mValue;
  operator mpfr_ptr() { return mValue; }
  operator mpfr_srcptr() const { return mValue; }
};

} // namespace simulation

namespace util {

namespace detail {
// How a pool prepares and releases a block of slots: integers are set to 0 and cleared.
template <typename T> struct PoolBlock {
  static T* create(int n) { return new T[static_cast<std::size_t>(n)]; }
  static void destroy(T* block, int) { delete[] block; }
};
template <> struct PoolBlock<simulation::MPZ> {
  static simulation::MPZ* create(int n) {
    auto* block = new simulation::MPZ[static_cast<std::size_t>(n)];
    for (int i = 0; i < n; ++i)
      mpz_init(block[i].mValue);
    return block;
  }
  static void destroy(simulation::MPZ* block, int n) {
    for (int i = 0; i < n; ++i)
      mpz_clear(block[i].mValue);
    delete[] block;
  }
};
} // namespace detail

// Slots of T, allocated N at a time and never given back before the pool dies.
template <typename T, int N> class SimplePool {
public:
  SimplePool() = default;
  SimplePool(const SimplePool&) = delete;
  SimplePool& operator=(const SimplePool&) = delete;
  ~SimplePool() {
    for (T* block : mBlocks)
      detail::PoolBlock<T>::destroy(block, N);
  }

  T* get() {
    if (mNextInBlock >= N) {
      mBlocks.push_back(detail::PoolBlock<T>::create(N));
      mNextInBlock = 0;
    }
    return &mBlocks.back()[mNextInBlock++];
  }

private:
  std::list<T*> mBlocks;
  int mNextInBlock = N;
};

// MPFR values of one precision (wF + 1 bits for fraction width wF), created one at a time.
// Copies duplicate the values (same precision and value), so each value is freed once.
class LOOM_UTIL_API VarFloatPool {
public:
  explicit VarFloatPool(int precision)
      : mPrecision(precision < INT_MAX ? precision + 1 : INT_MAX) {}
  VarFloatPool(const VarFloatPool& other);
  VarFloatPool& operator=(const VarFloatPool& other);
  ~VarFloatPool();

  // A new value of the pool's precision, holding NaN.
  simulation::MPFR* create();
  simulation::MPFR* get() { return create(); }

  int getPrecision() const { return mPrecision; }
  std::size_t size() const { return mValues.size(); }

private:
  void release();

  int mPrecision;
  std::list<simulation::MPFR*> mValues;
};

// The temporaries and the value stack of one storage kind.
template <typename T, typename Pool> class StackTempVar {
public:
  explicit StackTempVar(Pool* pool) : mPool(pool) {}

  // The next temporary: after a reset the same slots come back in the same order, with
  // whatever they last held; beyond that, new slots from the pool.
  T* getTemp() {
    if (mTempsUsed < mTemps.size())
      return mTemps[mTempsUsed++];
    T* slot = mPool->get();
    mTemps.push_back(slot);
    ++mTempsUsed;
    return slot;
  }

  // The slot for a new top of stack (reused if the stack was this deep before).
  T* pushSlot() {
    if (mDepth == mStack.size())
      mStack.push_back(mPool->get());
    return mStack[mDepth++];
  }

  // The old top, which stays readable until the next push; null when the stack is empty.
  T* popSlot() {
    if (mDepth == 0)
      return nullptr;
    return mStack[--mDepth];
  }

  // The i-th value from the top (0 is the top); null when there is none.
  T* fromTop(long i) const {
    if (i < 0 || static_cast<std::size_t>(i) >= mDepth)
      return nullptr;
    return mStack[mDepth - 1 - static_cast<std::size_t>(i)];
  }

  std::size_t depth() const { return mDepth; }
  // Temporaries handed out since the last reset; slots (temporaries and stack) ever taken.
  std::size_t tempsInUse() const { return mTempsUsed; }
  std::size_t slotCount() const { return mTemps.size() + mStack.size(); }

  void resetAvailability() {
    mTempsUsed = 0;
    mDepth = 0;
  }
  void resetLocalStack() { mDepth = 0; }

private:
  Pool* mPool;
  std::vector<T*> mTemps;
  std::size_t mTempsUsed = 0;
  std::vector<T*> mStack;
  std::size_t mDepth = 0;
};

using FixedPool = SimplePool<simulation::MPZ, 5>;
using SinglePool = SimplePool<float, 40>;
using DoublePool = SimplePool<double, 20>;
using FixedStack = StackTempVar<simulation::MPZ, FixedPool>;
using SingleStack = StackTempVar<float, SinglePool>;
using DoubleStack = StackTempVar<double, DoublePool>;
using VarFloatStack = StackTempVar<simulation::MPFR, VarFloatPool>;

// The value stack of one MPFR precision.
class LOOM_UTIL_API VarFloatStackHandler {
public:
  explicit VarFloatStackHandler(VarFloatStack* stack) : mStack(stack) {}

  // Copies v into the new top, rounded to nearest at the stack's precision.
  void push(const simulation::MPFR& v) {
    mpfr_set(mStack->pushSlot()->mValue, v.mValue, MPFR_RNDN);
  }
  simulation::MPFR* pop() { return mStack->popSlot(); }
  simulation::MPFR* top(int i) { return mStack->fromTop(i); }

  VarFloatStack* getStack() const { return mStack; }

private:
  VarFloatStack* mStack;
};

// What an allocator has handed out. Growth counts the slots (temporaries and value-stack
// entries of every kind) and the var-float widths taken for the first time, and the
// gradual-underflow ranges made: every heap allocation the allocator makes (pool blocks,
// var-float values, its lists and vectors) happens in one of those events, so a growth of 0
// means the allocator allocated nothing. GMP and MPFR growing a value's own digits (an integer
// needing more limbs than it ever had) is not the allocator's and is not counted.
struct TempVarStats {
  std::size_t tempsInUse;       // temporaries handed out since construction or resetAvailability
  std::size_t growthSinceReset; // growth since then: 0 in a step after warm-up
  std::size_t growth;           // growth since construction
};

class LOOM_UTIL_API TempVarAllocator {
public:
  TempVarAllocator();
  TempVarAllocator(const TempVarAllocator&) = delete;
  TempVarAllocator& operator=(const TempVarAllocator&) = delete;
  ~TempVarAllocator();

  float* getTempSingle() { return mSingleStack.getTemp(); }
  double* getTempDouble() { return mDoubleStack.getTemp(); }
  mpz_t* getTempFixed() { return &mFixedStack.getTemp()->mValue; }
  // A new wF creates its pool, stack and handler; formats sharing wF share them.
  simulation::MPFR* getTempVarFloat(int wF) { return varFloatEntry(wF).stack.getTemp(); }

  SingleStack* getStackSingle() { return &mSingleStack; }
  DoubleStack* getStackDouble() { return &mDoubleStack; }
  FixedStack* getStackFixed() { return &mFixedStack; }
  // Also creates the wF entry when it does not exist yet.
  VarFloatStackHandler* getVarFloatStackHandler(int wF) { return &varFloatEntry(wF).handler; }

  // MPFR's exponent range as it was at the step boundary (when the allocator was made or last
  // reset, or, before its first var-float, when that was handed out): the inline float
  // operations hand results outside it to MPFR. A host changes MPFR's range between steps,
  // never during one.
  const simulation::flimb::ExponentRange& floatRange() const { return mFloatRange; }
  // The same for a format with gradual underflow whose smallest normal and smallest subnormal
  // values have MPFR exponents `normalMin` and `subnormalMin`: the lower end raised to the
  // normal range, below which the inline operations round onto the subnormal step (when MPFR's
  // range holds it) or leave the result to MPFR. Made at its first request (an allocation),
  // read again with floatRange().
  const simulation::flimb::ExponentRange& gradualRange(mpfr_exp_t normalMin,
                                                       mpfr_exp_t subnormalMin);

  // Computed on demand from the stacks: handing out a temporary costs nothing more.
  TempVarStats stats() const;

  // Every temporary and stack slot available again, in the same order; the exponent range
  // read again; the growth since reset back to 0.
  void resetAvailability();
  // Empty value stacks; temporaries stay in use.
  void resetLocalStacks();

private:
  // The pool, temporaries and stack of one fraction width. Entries are few (one per width a
  // model uses) and found by a scan that starts at the last one found.
  struct VarFloatEntry {
    explicit VarFloatEntry(int width) : wF(width), pool(width), stack(&pool), handler(&stack) {}
    int wF;
    VarFloatPool pool;
    VarFloatStack stack;
    VarFloatStackHandler handler;
  };

  VarFloatEntry& varFloatEntry(int wF) {
    if (mRecent != nullptr && mRecent->wF == wF)
      return *mRecent;
    for (const std::unique_ptr<VarFloatEntry>& entry : mVarFloat)
      if (entry->wF == wF)
        return *(mRecent = entry.get());
    return createVarFloatEntry(wF);
  }
  VarFloatEntry& createVarFloatEntry(int wF);
  void readRanges();

  struct GradualRange {
    mpfr_exp_t normalMin, subnormalMin;
    simulation::flimb::ExponentRange range;
  };
  void readRange(GradualRange& g) const;

  // Destroyed in reverse: the MPFR entries, the stacks, then the pools.
  SinglePool mSinglePool;
  DoublePool mDoublePool;
  FixedPool mFixedPool;
  FixedStack mFixedStack;
  SingleStack mSingleStack;
  DoubleStack mDoubleStack;
  std::vector<std::unique_ptr<VarFloatEntry>> mVarFloat;
  VarFloatEntry* mRecent = nullptr;
  simulation::flimb::ExponentRange mFloatRange;
  std::vector<std::unique_ptr<GradualRange>> mGradualRanges; // held by address in references
  std::size_t mGrowthAtReset = 0;
};

} // namespace util

#endif
