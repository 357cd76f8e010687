#include "platform/Sha256.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

namespace quillstone {
namespace {

struct Vector {
  const char* name;
  std::string message;
  const char* digest;
};

// The published examples (the one-block, two-block and long-message cases, a single byte, a
// thousand zero bytes), then the lengths around a block's end: 55 bytes leave room for the
// length in the last block, 56 and 63 push it into a block of its own, 64 fill a block exactly;
// their digests from coreutils' sha256sum.
const Vector kVectors[] = {
    {"Empty", "", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
    {"Abc", "abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
    {"TwoBlocks448Bits", "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
     "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
    {"TwoBlocks896Bits",
     "abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmnoijklmnopjklmnopqklmnopqrlm"
     "nopqrsmnopqrstnopqrstu",
     "cf5b16a778af8380036ce59e7b0492370b249b11e8f07a51afac45037afee9d1"},
    {"OneMillionA", std::string(1000000, 'a'),
     "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
    {"OneByteBD", "\xbd", "68325720aabd7c82f30f554b313d0570c95accbb7dc4b5aae11204c08ffe732b"},
    {"ThousandZeroBytes", std::string(1000, '\0'),
     "541b3e9daa09b20bf85fa273e5cbd3e80185aa4ec298e765db87742b70138a53"},
    {"Length55", std::string(55, 'x'),
     "d5e285683cd4efc02d021a5c62014694958901005d6f71e89e0989fac77e4072"},
    {"Length56", std::string(56, 'x'),
     "04c26261370ee7541549d16dee320c723e3fd14671e66a099afe0a377c16888e"},
    {"Length63", std::string(63, 'x'),
     "75220b47218278e656f2013bb8f0c455a25eaf01e86c64924e9d48d89776d6f2"},
    {"Length64", std::string(64, 'x'),
     "7ce100971f64e7001e8fe5a51973ecdfe1ced42befe7ee8d5fd6219506b5393c"},
    {"Length65", std::string(65, 'x'),
     "9537c5fdf120482f7d58d25e9ed583f52c02b4e304ea814db1633ad565aed7e9"},
    {"Length119", std::string(119, 'x'),
     "000b48d4edf0fa7bee3c6236ecd2785baa5db4eeb8bb54341b029e0d9fa5fb0c"},
    {"Length128", std::string(128, 'x'),
     "24da1b81d0b16df6428eee73c69fcb2a93c76bc6df706f0c6670fe6bfe800464"},
};

// A failure names the case, not the bytes of the struct.
void PrintTo(const Vector& vector, std::ostream* out) {
  *out << vector.name;
}

class Sha256Test : public ::testing::TestWithParam<Vector> {};

TEST_P(Sha256Test, DigestIsThePublishedOne) {
  EXPECT_EQ(Sha256Hex(GetParam().message), GetParam().digest);
}

INSTANTIATE_TEST_SUITE_P(Vectors, Sha256Test, ::testing::ValuesIn(kVectors),
                         [](const ::testing::TestParamInfo<Vector>& vector) {
                           return std::string(vector.param.name);
                         });

// Only the viewed bytes count, not what follows them in memory.
TEST(Sha256ViewTest, ASliceHashesAsItsOwnBytes) {
  const std::string text = "xabcx";
  EXPECT_EQ(Sha256Hex(std::string_view(text).substr(1, 3)), Sha256Hex("abc"));
}

}  // namespace
}  // namespace quillstone
