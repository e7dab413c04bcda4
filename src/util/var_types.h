// Variable types: how a type's values are stored in a model.
#ifndef LOOM_UTIL_VAR_TYPES_H
#define LOOM_UTIL_VAR_TYPES_H

#include "util/export.h"

#include <string>

namespace simulation {

// Storage representation of a type's values.
enum TypeRepr {
  TR_MPZ = 0,  // GMP integer: fixed-point values as scaled integers
  TR_SP = 1,   // IEEE single
  TR_DP = 2,   // IEEE double
  TR_MPFR = 3, // MPFR float of precision wF + 1
};

// Type descriptor of a simulation variable. Descriptors belong to the generated model (or
// are the built-ins below); everything else holds plain pointers to them.
class LOOM_UTIL_API VarType {
public:
  explicit VarType(const std::string& name) : mName(name) {}
  VarType(const VarType& other) = default;
  VarType& operator=(const VarType& other) {
    setName(other.mName);
    return *this;
  }
  virtual ~VarType();

  virtual TypeRepr getImpl() const = 0;

  const std::string& getName() const { return mName; }

protected:
  void setName(const std::string& name) {
    if (&name != &mName)
      mName = name;
  }

private:
  std::string mName;
};

// A fixed-point type. Width, binary point and signedness live in the generated code.
class LOOM_UTIL_API WideFixedType : public VarType {
public:
  explicit WideFixedType(const std::string& name) : VarType(name) {}

  TypeRepr getImpl() const override { return TR_MPZ; }

  static WideFixedType legacy; // "SPTfixed"
};

// What a float format holds, IEEE style: fraction field f, biased exponent field E (all ones
// is infinity and NaN), value 1.f * 2^(E - bias), or 0.f * 2^(1 - bias) when E is 0. The
// exponents describe every format; the doubles are the nearest double to each value (0 or
// infinity outside the double range), so they are exact for formats up to (11,52).
struct FloatFormatInfo {
  long totalBits;            // 1 + wE + wF
  long precision;            // wF + 1: significand bits, the hidden one included
  long bias;                 // 2^(wE - 1) - 1
  long minSubnormalExponent; // the smallest subnormal is 2^(1 - bias - wF)
  long minNormalExponent;    // the smallest normal is 2^(1 - bias)
  // The largest finite value is (2 - 2^-wF) * 2^bias.
  double minSubnormal;
  double minNormal;
  double maxFinite;
};

// A float format of one sign bit, wE exponent bits and wF fraction bits (hidden one not
// counted). Copies, moves included, copy every field; the source keeps its name.
class LOOM_UTIL_API VarFloatType : public VarType {
public:
  VarFloatType(const std::string& name, int wE, int wF, bool synthesizable)
      : VarType(name), mWE(wE), mWF(wF), mSynthesizable(synthesizable) {}

  TypeRepr getImpl() const override { return TR_MPFR; }

  int getW() const { return mWE + 1 + mWF; }
  int getWE() const { return mWE; }
  int getWF() const { return mWF; }
  bool isSynthesizable() const { return mSynthesizable; }
  // The format's limits; an exponent width outside 2..62 is an internal restriction.
  FloatFormatInfo describe() const;

  // Off by default: results keep wF + 1 bits however small they are, and only packing (with
  // flushing off) puts them on the subnormal step. On, as an IEEE unit with subnormals does,
  // every var-float result of this format below its normal range is the exact result rounded
  // once, to nearest, onto the subnormal step 2^(2 - 2^(wE-1) - wF), or to zero; packing it is
  // then exact. For wE of 2 to 62 whose subnormals MPFR's exponent range holds (wE up to 30 in
  // MPFR's default range); the others as when off.
  void setGradualUnderflow(bool on) { mGradualUnderflow = on; }
  bool hasGradualUnderflow() const { return mGradualUnderflow; }

  // Orders by fraction width, then exponent width; name and synthesizability take no part.
  bool operator<(const VarFloatType& other) const {
    return mWF < other.mWF || (mWF == other.mWF && mWE < other.mWE);
  }

private:
  int mWE;
  int mWF;
  bool mSynthesizable;
  bool mGradualUnderflow = false;
};

// IEEE single (8 / 23), stored natively as float.
class LOOM_UTIL_API SysSingleType : public VarFloatType {
public:
  explicit SysSingleType(const std::string& name) : VarFloatType(name, 8, 23, true) {}

  TypeRepr getImpl() const override { return TR_SP; }

  static SysSingleType builtIn; // "single"
};

// IEEE double (11 / 52), stored natively as double.
class LOOM_UTIL_API SysDoubleType : public VarFloatType {
public:
  explicit SysDoubleType(const std::string& name) : VarFloatType(name, 11, 52, true) {}

  TypeRepr getImpl() const override { return TR_DP; }

  static SysDoubleType builtIn; // "double"
};

} // namespace simulation

#endif
