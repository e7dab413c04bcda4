// The word kernels against 128-bit integer arithmetic, at every width.
#include "util/amath.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

using namespace simulation;
using Wide = __int128;

namespace {

// v as a signed w-bit two's-complement value.
SINT wrap(Wide v, int w) {
  const unsigned __int128 m = static_cast<unsigned __int128>(1) << w;
  unsigned __int128 u = static_cast<unsigned __int128>(v) & (m - 1);
  if (u >= m / 2)
    return static_cast<SINT>(static_cast<Wide>(u) - static_cast<Wide>(m));
  return static_cast<SINT>(u);
}

SINT word(const std::uint8_t* p) {
  std::uint64_t v;
  std::memcpy(&v, p, 8);
  return static_cast<SINT>(v);
}

void check(bool ok) {
  if (!ok)
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 19)
    return 0;
  const int w = 1 + data[0] % 64;
  const SINT a = word(data + 1), b = word(data + 9);
  const SINT c = static_cast<SINT>(data[17] % 3) - 1; // -1, 0, 1
  const int shift = static_cast<int>(static_cast<std::int8_t>(data[18])) % 70;

  check(AMAdd(a, b, w) == wrap(static_cast<Wide>(a) + b, w));
  check(AMSub(a, b, w) == wrap(static_cast<Wide>(a) - b, w));
  check(AMMask(a, w) ==
        static_cast<SINT>(static_cast<std::uint64_t>(a) & (w == 64 ? ~0ull : (1ull << w) - 1)));

  if (w < 64 || c >= 0) {
    SINT carry = 0;
    const Wide sum = static_cast<Wide>(a) + b + c;
    check(AMAdd(a, b, c, w, &carry) == wrap(sum, w));
    check(carry == static_cast<SINT>((sum >> w) & 1));
    const Wide difference = static_cast<Wide>(a) - b - c;
    check(AMSub(a, b, c, w, &carry) == wrap(difference, w));
    check(carry == static_cast<SINT>((difference >> w) & 1));
  }

  // Shifts of a value in sign-extended form.
  const SINT x = wrap(a, w);
  for (int isSigned = 0; isSigned < 2; ++isSigned) {
    SINT expected;
    if (shift > 0) {
      if (shift >= w)
        expected = (isSigned && x < 0) ? -1 : 0;
      else if (isSigned)
        expected = wrap(static_cast<Wide>(x) >> shift, w);
      else
        expected = wrap(static_cast<Wide>(static_cast<unsigned __int128>(static_cast<Wide>(x)) &
                                          ((static_cast<unsigned __int128>(1) << w) - 1)) >>
                            shift,
                        w);
    } else {
      expected = -shift >= w ? 0 : wrap(static_cast<Wide>(x) * (static_cast<Wide>(1) << -shift), w);
    }
    check(AMShift(x, shift, isSigned != 0, w) == expected);
  }
  return 0;
}
