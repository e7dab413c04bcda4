// The var-float pools and the temporary-variable allocator of a model.
#include "util/temp_var_allocator.h"

#include "util/assert_handler.h"

#include <algorithm>

namespace util {

VarFloatPool::VarFloatPool(const VarFloatPool& other) : mPrecision(other.mPrecision) {
  for (const simulation::MPFR* value : other.mValues)
    mpfr_set(create()->mValue, value->mValue, MPFR_RNDN);
}

VarFloatPool& VarFloatPool::operator=(const VarFloatPool& other) {
  if (this != &other) {
    release();
    mPrecision = other.mPrecision;
    for (const simulation::MPFR* value : other.mValues)
      mpfr_set(create()->mValue, value->mValue, MPFR_RNDN);
  }
  return *this;
}

VarFloatPool::~VarFloatPool() {
  release();
}

void VarFloatPool::release() {
  for (simulation::MPFR* value : mValues) {
    mpfr_clear(value->mValue);
    delete value;
  }
  mValues.clear();
}

simulation::MPFR* VarFloatPool::create() {
  // An int never exceeds MPFR's largest precision; a negative width is below its smallest.
  LOOM_ASSERT_MSG(mPrecision >= MPFR_PREC_MIN,
                  "Float fraction width outside MPFR's precision range.");
  auto* value = new simulation::MPFR;
  mpfr_init2(value->mValue, mPrecision);
  mValues.push_back(value);
  return value;
}

namespace {
simulation::flimb::ExponentRange currentRange() {
  return {mpfr_get_emin(), mpfr_get_emax()};
}
} // namespace

TempVarAllocator::TempVarAllocator()
    : mFixedStack(&mFixedPool), mSingleStack(&mSinglePool), mDoubleStack(&mDoublePool),
      mFloatRange(currentRange()) {}

TempVarAllocator::~TempVarAllocator() {
  mVarFloat.clear();
}

TempVarAllocator::VarFloatEntry& TempVarAllocator::createVarFloatEntry(int wF) {
  if (mVarFloat.empty()) // the resets so far had no var-float to read the range for
    readRanges();
  mVarFloat.push_back(std::make_unique<VarFloatEntry>(wF));
  return *(mRecent = mVarFloat.back().get());
}

TempVarStats TempVarAllocator::stats() const {
  TempVarStats stats{
      mFixedStack.tempsInUse() + mSingleStack.tempsInUse() + mDoubleStack.tempsInUse(), 0,
      mFixedStack.slotCount() + mSingleStack.slotCount() + mDoubleStack.slotCount() +
          mVarFloat.size() + mGradualRanges.size()};
  for (const std::unique_ptr<VarFloatEntry>& entry : mVarFloat) {
    stats.tempsInUse += entry->stack.tempsInUse();
    stats.growth += entry->stack.slotCount();
  }
  stats.growthSinceReset = stats.growth - mGrowthAtReset;
  return stats;
}

void TempVarAllocator::resetAvailability() {
  mGrowthAtReset = stats().growth;
  mFixedStack.resetAvailability();
  mSingleStack.resetAvailability();
  mDoubleStack.resetAvailability();
  for (const std::unique_ptr<VarFloatEntry>& entry : mVarFloat)
    entry->stack.resetAvailability();
  if (!mVarFloat.empty()) // only var-floats read the range, and each made an entry
    readRanges();
}

void TempVarAllocator::readRanges() {
  mFloatRange = currentRange();
  for (const std::unique_ptr<GradualRange>& g : mGradualRanges)
    readRange(*g);
}

void TempVarAllocator::readRange(GradualRange& g) const {
  const bool inside = g.subnormalMin >= mFloatRange.emin; // MPFR can hold every subnormal
  g.range = {std::max(mFloatRange.emin, g.normalMin), mFloatRange.emax,
             inside ? g.subnormalMin : simulation::flimb::kNoSubnormals};
}

const simulation::flimb::ExponentRange& TempVarAllocator::gradualRange(mpfr_exp_t normalMin,
                                                                       mpfr_exp_t subnormalMin) {
  for (const std::unique_ptr<GradualRange>& g : mGradualRanges)
    if (g->normalMin == normalMin && g->subnormalMin == subnormalMin)
      return g->range;
  mGradualRanges.push_back(
      std::make_unique<GradualRange>(GradualRange{normalMin, subnormalMin, {}}));
  readRange(*mGradualRanges.back());
  return mGradualRanges.back()->range;
}

void TempVarAllocator::resetLocalStacks() {
  mFixedStack.resetLocalStack();
  mSingleStack.resetLocalStack();
  mDoubleStack.resetLocalStack();
  for (const std::unique_ptr<VarFloatEntry>& entry : mVarFloat)
    entry->stack.resetLocalStack();
}

} // namespace util
