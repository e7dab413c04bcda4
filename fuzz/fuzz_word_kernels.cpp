// The word kernels against 128-bit integer arithmetic, at every width.
#include "util/amath.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

using namespace simulation;
using Wide = __int128;

static SINT wrap(Wide v, int w) { // v as a signed w-bit two's-complement value
  const unsigned __int128 m = static_cast<unsigned __int128>(1) << w;
  const unsigned __int128 u = static_cast<unsigned __int128>(v) & (m - 1);
  return static_cast<SINT>(u >= m / 2 ? static_cast<Wide>(u) - static_cast<Wide>(m) : u);
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 18)
    return 0;
  const int w = 1 + data[0] % 64;
  std::uint64_t words[2];
  std::memcpy(words, data + 1, 16);
  const SINT a = static_cast<SINT>(words[0]), b = static_cast<SINT>(words[1]);
  const SINT c = data[17] < 128 ? static_cast<SINT>(data[17] % 3) - 1 // -1, 0, 1, or up to 2^31
                                : static_cast<std::int32_t>(data[17] * 0x01010101u);
  const std::uint64_t mask = w == 64 ? ~0ull : (1ull << w) - 1;

  bool ok = AMAdd(a, b, w) == wrap(static_cast<Wide>(a) + b, w) &&
            AMSub(a, b, w) == wrap(static_cast<Wide>(a) - b, w) &&
            AMMask(a, w) == static_cast<SINT>(static_cast<std::uint64_t>(a) & mask);
  SINT carry = 0;
  const Wide sum = static_cast<Wide>(a) + b + c, difference = static_cast<Wide>(a) - b - c;
  ok &= AMAdd(a, b, c, w, &carry) == wrap(sum, w) && carry == ((sum >> w) & 1);
  ok &= AMSub(a, b, c, w, &carry) == wrap(difference, w) && carry == ((difference >> w) & 1);
  if (!ok)
    std::abort();
  return 0;
}
