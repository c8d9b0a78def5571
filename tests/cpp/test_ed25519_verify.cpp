// Lenient Ed25519 verification. Expected answers come from an independent,
// deliberately slow reference (affine curve arithmetic over Python integers);
// the cases marked * are ones libsodium's own verification refuses, so they
// run through our point-operation path.
#include <algorithm>
#include <string_view>

#include "check.hpp"
#include "crypto/ed25519_verify.hpp"
#include "encoding/hex.hpp"

using corvane::ByteVector;
using corvane::crypto::PublicKey;
using corvane::crypto::Signature;

namespace {

template <class Array>
Array array_of(std::string_view text) {
  Array out{};
  const ByteVector bytes = *corvane::encoding::decode_hex(text);
  std::copy(bytes.begin(), bytes.end(), out.begin());
  return out;
}

void verification() {
  const struct {
    std::string_view label, key, message, signature;
    bool valid;
  } cases[] = {
    {"ordinary key", "bdb8e9c5fb746e72b54a66dd008897d8c05e801ffe17f51c93c6ece20a154702", "6162",
     "3fea9d6b1691207c0055da17256e0ccecb5beeec68a72c9aa52224e7c406e3dad3534efc20eb1225b1431bdfccb3eb7933e3132aefc43332496a484390928501", true},
    {"ordinary key, identity R *", "bdb8e9c5fb746e72b54a66dd008897d8c05e801ffe17f51c93c6ece20a154702", "6162",
     "01000000000000000000000000000000000000000000000000000000000000006e8566988e31a1b8c6453f866c676bfcf102aaf05b60f604d72431db007db40a", true},
    {"order 1 key 0T *", "0100000000000000000000000000000000000000000000000000000000000000", "100000",
     "9042bdcd700bc9f0f5f1bf32d7ac83eb4c5cfd95142aea9ae44530bd23bdac9b727f697f2aa1c09fc151af5afc684c165da1c20bab23cd9d154a6d11463fe203", true},
    {"order 8 key 1T *", "26e8958fc2b227b045c3f489f2ef98f0d5dfac05d3c63339b13802886d53fc05", "100100",
     "02e1aa6d7e95ecc8d03ac442cd31c033f95d2ebbcfabe3afdfba5d51696ac4ef1a7442e1850fe892c70a1b2c76e005132b116afb0a874e4796d933ac5f1cd70e", true},
    {"order 4 key 2T *", "0000000000000000000000000000000000000000000000000000000000000000", "100200",
     "e25b11a850e5d39cdac5e374f812928ed5a108db8a80dd31b7643c018fa87e97c21a714043480345b77d44c6ad820d139427efa4d7ca692d5998eedfde0f7f0c", true},
    {"order 4 key 2T, flipped message bit", "0000000000000000000000000000000000000000000000000000000000000000", "2102",
     "0f9e7814e4899cfc0fde6c4ed7ec7c6e861c705521ad103d3b1e02f44c47586fce812fb141ec653ef7cb39fcef4a5fa0e3ae47ad5157b849cef4f5fa0b885b0c", false},
    {"key y = p (order 4) *", "edffffffffffffffffffffffffffffffffffffffffffffffffffffffffffff7f", "3000",
     "8f51555221eee5ea218dc71e52135ada91115d0d5ccfd97423ae4858e7c05bb7a42f7060f55f331a041f5aad662c480f9e8cc3fecd3d6c1abf64df31afc2580d", true},
    {"key y = 1, sign bit (identity) *", "0100000000000000000000000000000000000000000000000000000000000080", "3000",
     "31f0dbc8a683f21d64d175a5accba00ba665f2eedf0eaee36c0e623a81e2eb0a22d00a1e64bbb4abffda4c9096708bd5156f056d8d8711ad47df2dc06e29dc01", true},
    {"key y = p - 1, sign bit (order 2) *", "ecffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffff", "3000",
     "107331edbe7a4b272c5694f1c5ce0f130b4c4fd3b95a0cef13a3f6f0898c772e331c301006284467a4f6bf23fddf228d742c8c670838c2f1afeae9a0a3430b03", true},
    {"key y = p signature under canonical bytes", "0000000000000000000000000000000000000000000000000000000000000000", "400000",
     "c058312e384657a3385969a02a577a70fd3fdd98a634b2a4db820a2d6439fe7ebcec7e486f267888e4d0ad477c95e5b2706918d5374751cc75520c986b7f2b00", false},
    {"order 8 key, S = 0 *", "c7176a703d4dd84fba3c0b760d10670f2a2053fa2c39ccc64ec7fd7792ac037a", "5000",
     "c7176a703d4dd84fba3c0b760d10670f2a2053fa2c39ccc64ec7fd7792ac03fa0000000000000000000000000000000000000000000000000000000000000000", true},
    {"identity key, S = 0, R identity *", "0100000000000000000000000000000000000000000000000000000000000000", "",
     "01000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000", true},
    {"identity key, S = 0, non-canonical identity R", "0100000000000000000000000000000000000000000000000000000000000000", "",
     "eeffffffffffffffffffffffffffffffffffffffffffffffffffffffffffff7f0000000000000000000000000000000000000000000000000000000000000000", false},
    {"identity key, any message *", "0100000000000000000000000000000000000000000000000000000000000000", "616e79",
     "8b89d95d0195a10d54192536bc3fc9a63666135ed4d54ec3e7efa20d476c0546347d1636992f2882f8bb7e232b2c3644b567367becfe4b66e3d733f295e5270f", true},
    {"mixed-order key aB + 1T", "73f5624a4fe334ec76bb9edacc198847d2a2d318313cb71a7b7731b1c6f72cbe", "600100",
     "bbde0e2431ef196fd0c4939987dc2488d65237ba362442c11992461e9b36541f8a6edbc010caef1650c4278673c381cddbc82d8f99eaafa0b1b3c1f6c6f5b10b", true},
    {"mixed-order key aB + 1T, small-order R *", "73f5624a4fe334ec76bb9edacc198847d2a2d318313cb71a7b7731b1c6f72cbe", "700100",
     "c7176a703d4dd84fba3c0b760d10670f2a2053fa2c39ccc64ec7fd7792ac037a87250f78f4cb4bafe00c615d0b40d00b62b520d79dfbf19e1bb299a6642a8e00", true},
    {"mixed-order key aB + 2T, small-order R *", "a3abd48ed12c36c7bf50fdfe061872ca6ddee4c0e70320e531958c3dbf2781df", "700200",
     "ecffffffffffffffffffffffffffffffffffffffffffffffffffffffffffff7f0c0f8eaea3449af8e2984f58c8d676fbb92fb623f385873f3eee2a9f3b9d8600", true},
    {"key y = p + 3", "f0ffffffffffffffffffffffffffffffffffffffffffffffffffffffffffff7f", "",
     "edc876d6831fd2105d0b4389ca2e283166469289146e2ce06faefe98b22548df0500000000000000000000000000000000000000000000000000000000000000", false},
  };
  for (const auto& c : cases) {
    const bool valid = corvane::crypto::verify_lenient(array_of<PublicKey>(c.key), *corvane::encoding::decode_hex(c.message),
                                               array_of<Signature>(c.signature));
    if (valid != c.valid) std::cerr << "case: " << c.label << "\n";
    CHECK_EQ(valid, c.valid);
  }
}

}  // namespace

int main() {
  verification();
  return check::failures() != 0;
}
