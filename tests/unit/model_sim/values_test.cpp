// Four-state values: how binary text extends, how values read as numbers
// and characters, and the strength text of one bit.
#include <gtest/gtest.h>

#include <stdexcept>

#include "support/model_sim_values.h"

namespace tavri::test {
namespace {

TEST(ModelSimValues, ExtendsBinaryTextAsVerilogExtendsLiterals) {
    EXPECT_EQ(FourState::FromBinary("101", 6).ToBinary(), "000101");
    EXPECT_EQ(FourState::FromBinary("x01", 6).ToBinary(), "xxxx01");
    EXPECT_EQ(FourState::FromBinary("z1", 4).ToBinary(), "zzz1");
    EXPECT_EQ(FourState::FromBinary("1_0?X").ToBinary(), "10zx");
    EXPECT_THROW(FourState::FromBinary("10101", 4), std::invalid_argument);
    EXPECT_THROW(FourState::FromBinary("102"), std::invalid_argument);
    EXPECT_THROW(FourState::FromBinary(""), std::invalid_argument);
}

TEST(ModelSimValues, ReadsNumbersWithUnknownBitsAsZero) {
    const FourState value = FourState::FromBinary("1x1z");
    EXPECT_EQ(value.ToUnsigned(), 0b1010U);
    EXPECT_EQ(value.ToSigned(), -6);  // sign taken from the top bit
    EXPECT_EQ(FourState::FromBinary("0111").ToSigned(), 7);
}

TEST(ModelSimValues, PrintsSignedDecimalsWithinTheWidth) {
    EXPECT_EQ(FourState::FromBinary("1000").ToDecimal(true), "-8");
    EXPECT_EQ(FourState::FromBinary("1000").ToDecimal(false), "8");
    EXPECT_EQ(FourState::FromUnsigned(0, 5).ToDecimal(true), "0");
    // -2**64 needs more than 64 bits.
    const FourState wide = FourState::FromBinary("1" + std::string(64, '0'), 66);
    EXPECT_EQ(wide.ToDecimal(false), "18446744073709551616");
    const FourState negative = FourState::FromBinary("11" + std::string(64, '0'));
    EXPECT_EQ(negative.ToDecimal(true), "-18446744073709551616");
}

TEST(ModelSimValues, ConvertsBetweenCharactersAndBits) {
    EXPECT_EQ(FourState::FromChars("Hi").ToHex(), "4869");
    EXPECT_EQ(FourState::FromChars("Hi").width(), 16);
    // A partial top byte still forms a character; leading zero bytes go.
    EXPECT_EQ(FourState::FromBinary("1" + FourState::FromChars("A").ToBinary()).ToChars(), std::string("\x01" "A"));
    EXPECT_EQ(FourState::FromUnsigned(0x41, 32).ToChars(), "A");
    EXPECT_EQ(FourState::FromUnsigned(0, 16).ToChars(), "");
}

TEST(ModelSimValues, SplitsIntoByteGroupsWithZeroHighBits) {
    unsigned char a[2] = {0xee, 0xee};
    unsigned char b[2] = {0xee, 0xee};
    FourState::FromBinary("xz_0000_0001").ToByteGroups(a, b);
    EXPECT_EQ(a[0], 0x01);
    EXPECT_EQ(a[1], 0x02);
    EXPECT_EQ(b[0], 0x00);
    EXPECT_EQ(b[1], 0x03);
}

TEST(ModelSimValues, NamesStrengths) {
    EXPECT_EQ(StrengthText(Logic::k1, vclLarge, vclLarge), "La1");
    EXPECT_EQ(StrengthText(Logic::k0, vclMedium, vclMedium), "Me0");
    EXPECT_EQ(StrengthText(Logic::k0, vclSmall, vclSmall), "Sm0");
    EXPECT_EQ(StrengthText(Logic::kZ, vclStrong, vclStrong), "HiZ");
    EXPECT_EQ(StrengthText(Logic::kX, vclWeak, vclPull), "35X");
}

}  // namespace
}  // namespace tavri::test
