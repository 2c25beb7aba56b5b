// Fuzz target for the parsers of the driver's extension-unit replies: the
// first two bytes are the control's length, the rest the reply.
//
// Invariants checked on every input:
//  - nothing is read outside the reply (the replay and the sanitizers
//    catch it);
//  - ranges come all three or none, each of the control's length, and only
//    from a reply that holds them;
//  - a default has the control's length;
//  - the unit information keeps no more sources than the reply holds.
#include <cstddef>
#include <cstdint>

#include "tests/fuzz/fuzz_check.h"
#include "xu/replies.h"

using lumora::fuzz::Check;
namespace xu = lumora::xu;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const uint32_t length = static_cast<uint32_t>(data[0] | data[1] << 8);
  const uint8_t* reply = data + 2;
  const size_t n = size - 2;

  xu::RangeReply r = xu::ParseBasicSupport(reply, n, length);
  Check(r.access.has_value() == (n >= 4));
  Check(r.minimum.has_value() == r.maximum.has_value() &&
        r.minimum.has_value() == r.resolution.has_value());
  if (r.minimum) {
    Check(r.problem.empty());
    Check(r.minimum->size() == length && r.maximum->size() == length &&
          r.resolution->size() == length);
    Check(n >= xu::kMembersOffset + 3 * size_t{length});
  } else {
    Check(!r.problem.empty());
  }

  xu::DefaultReply d = xu::ParseDefaultValues(reply, n, length);
  Check(d.value.has_value() != !d.problem.empty());
  if (d.value) Check(d.value->size() == length && n >= xu::kMembersOffset + length);

  auto info = xu::ParseUnitInfo(reply, n);
  Check(info.has_value() == (n >= 16));
  if (info) Check(info->sourceIds.size() + 18 <= n || info->sourceIds.empty());

  Check(xu::ParseSetList(reply, n).size() == n / 16);
  auto len = xu::ParseLengthAnswer(static_cast<lumora::HResult>(length << 16), length);
  Check(len.length.has_value() != !len.problem.empty());
  return 0;
}
