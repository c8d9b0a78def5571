// Secret hygiene: key material is wiped where its owner says, and no heap
// block is ever handed back to the allocator with a seed in it, in any form
// (raw, hex or base64), on success or on any failure path of the signing
// functions.
//
// This executable replaces the global operator new and delete: every block
// carries its size in a header, and each block being freed is searched for
// the seeds before it goes back to malloc. (Under valgrind, run with
// --soname-synonyms=somalloc=nouserintercepts so that these stay in place.)
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <iostream>
#include <new>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "check.hpp"
#include "base/internal_failure.hpp"
#include "base/secret_bytes.hpp"
#include "crypto/signing_key.hpp"
#include "encoding/base64.hpp"
#include "encoding/hex.hpp"
#include "functions/create_intent.hpp"
#include "functions/evidence_binding.hpp"

namespace {

using Seed = std::array<std::uint8_t, 32>;

// Distinct, unlikely byte patterns, so a match is a copy and not chance.
constexpr Seed scattered(unsigned start) {
  Seed seed{};
  for (std::size_t i = 0; i < seed.size(); ++i) seed[i] = static_cast<std::uint8_t>(start + 167 * i * i + 59 * i);
  return seed;
}
constexpr Seed kPrincipalSeed = scattered(0xa7);
constexpr Seed kPayeeSeed = scattered(0x5b);
constexpr char kDigest[] = "abababababababababababababababababababababababababababababababab";

// The forms a seed is searched for in freed blocks. Filled before the search
// is armed, in fixed storage, so that the patterns themselves are never freed.
struct Pattern {
  std::array<char, 64> bytes{};
  std::size_t size = 0;
};
std::array<Pattern, 6> g_patterns;
std::size_t g_pattern_count = 0;

bool g_armed = false;
std::size_t g_blocks_freed = 0;
std::size_t g_blocks_with_secret = 0;

void add_pattern(std::string_view text) {
  Pattern& pattern = g_patterns[g_pattern_count++];
  std::copy(text.begin(), text.end(), pattern.bytes.begin());
  pattern.size = text.size();
}

void add_seed_patterns(const Seed& seed) {
  add_pattern({reinterpret_cast<const char*>(seed.data()), seed.size()});
  add_pattern(corvane::encoding::encode_hex(seed));
  add_pattern(corvane::encoding::encode_base64(seed));
}

bool holds_a_seed(const char* block, std::size_t size) {
  for (std::size_t i = 0; i < g_pattern_count; ++i) {
    const Pattern& p = g_patterns[i];
    if (std::search(block, block + size, p.bytes.data(), p.bytes.data() + p.size) != block + size) return true;
  }
  return false;
}

constexpr std::size_t kHeader = 16;  // keeps malloc's alignment

void inspect_and_free(void* pointer) noexcept {
  if (pointer == nullptr) return;
  char* base = static_cast<char*>(pointer) - kHeader;
  std::size_t size;
  std::memcpy(&size, base, sizeof size);
  if (g_armed) {
    ++g_blocks_freed;
    g_blocks_with_secret += holds_a_seed(static_cast<const char*>(pointer), size);
  }
  std::free(base);
}

void report(const char* where) { std::cerr << "  " << where << ": a freed block held a seed\n"; }

// Runs `body` with the search armed; returns how many freed blocks held a seed.
template <class Body>
std::size_t freed_blocks_with_secret(Body body) {
  g_blocks_with_secret = 0;
  g_blocks_freed = 0;
  g_armed = true;
  body();
  g_armed = false;
  return g_blocks_with_secret;
}

}  // namespace

// Blocks start zeroed, so that the search reads only bytes that were written:
// valgrind would otherwise report the spare capacity it looks at.
void* operator new(std::size_t size) {
  void* base = std::calloc(1, size + kHeader);
  if (base == nullptr) throw std::bad_alloc();
  std::memcpy(base, &size, sizeof size);
  return static_cast<char*>(base) + kHeader;
}
void operator delete(void* pointer) noexcept { inspect_and_free(pointer); }
void operator delete(void* pointer, std::size_t) noexcept { inspect_and_free(pointer); }

namespace {

void signing_keys_report_and_lose_their_secret() {
  // Even the all-zero seed leaves key bytes until wipe(); then signing is a broken invariant.
  for (const Seed& seed : {kPayeeSeed, Seed{}}) {
    corvane::crypto::SigningKey key(seed);
    const corvane::crypto::PublicKey public_key = key.public_key();
    CHECK(key.holds_secret());
    key.wipe();
    key.wipe();  // wiping twice is harmless
    CHECK(!key.holds_secret() && key.public_key() == public_key);  // the public half is not secret
    bool refused = false;
    try {
      (void)key.sign(std::vector<std::uint8_t>{1, 2, 3});
    } catch (const corvane::InternalFailure&) {
      refused = true;
    }
    CHECK(refused);
  }
}

void secret_bytes_wipe_every_buffer_they_held() {
  // wipe() clears the whole buffer, spare capacity included.
  corvane::SecretBytes bytes;
  bytes.reserve(100);
  bytes.assign(kPrincipalSeed);
  CHECK(!bytes.is_wiped() && std::ranges::equal(bytes.view(), kPrincipalSeed));
  bytes.wipe();
  CHECK(bytes.is_wiped() && bytes.view().empty());

  // Growth, move assignment and destruction free buffers: none may keep a seed.
  const std::size_t found = freed_blocks_with_secret([] {
    corvane::SecretBytes by_push;
    for (int round = 0; round < 3; ++round) {
      for (const std::uint8_t b : kPrincipalSeed) by_push.push_back(b);  // regrows at 32, 64
    }
    corvane::SecretBytes by_assign;
    by_assign.assign(kPayeeSeed);
    by_assign.assign(std::span<const std::uint8_t>(kPrincipalSeed).first(8));
    by_assign.reserve(4096);  // regrows with the shorter value in it
    corvane::SecretBytes target;
    target.assign(kPayeeSeed);
    target = std::move(by_push);  // the payee seed's buffer goes
    corvane::SecretBytes moved(std::move(target));
    CHECK_EQ(moved.size(), std::size_t{96});
  });
  if (found != 0) report("SecretBytes");
  CHECK_EQ(found, std::size_t{0});
}

// Each road of the signing functions, success and failures before and after
// the keys exist, returns whether the call succeeded.
void signing_roads_free_no_seed() {
  using namespace corvane::functions;
  const auto intent = [](auto change) {
    CreateIntentRequest r{.tenant_id = "tenant-7", .principal_seed = kPrincipalSeed, .payee = PayeeSeed{kPayeeSeed},
                          .intent_id = "123e4567-e89b-12d3-a456-426614174000", .principal_did = "did:p",
                          .payee_did = "did:q", .budget_json = R"({"max_cents":5000})", .currency = "USD",
                          .amount_cents = 1500, .evidence_schema_json = "{}", .deadline_rfc3339 = "2030-01-01T00:00:00Z",
                          .predicate_json = R"({"all":[]})", .predicate_ref = "pred:v1",
                          .allowed_tools_json = R"(["browse"])", .settlement_rail = "stripe_connect",
                          .policy_template_id = "travel", .policy_content_digest_hex = std::string_view(kDigest)};
    change(r);
    return r.policy_content_digest_hex.empty() ? build_signed_create_intent_json(r).ok()
                                               : build_signed_create_intent_with_policy_binding_json(r).ok();
  };
  const auto evidence = [](std::string_view intent_id, std::string_view payload, std::vector<std::string> artifacts) {
    return sign_payee_evidence_binding_json({"tenant-7", intent_id, "did:q", payload, artifacts,
                                             "2025-03-01T12:00:00Z", kPayeeSeed})
        .ok();
  };
  const std::string art(64, '1'), id = "123e4567-e89b-12d3-a456-426614174000";
  const struct {
    const char* name;
    std::function<bool()> call;
    bool succeeds;
  } roads[] = {
      {"intent", [&] { return intent([](auto& r) { r.policy_content_digest_hex = {}; }); }, true},
      {"policy intent", [&] { return intent([](auto&) {}); }, true},
      {"budget_json", [&] { return intent([](auto& r) { r.budget_json = "{"; }); }, false},
      {"deadline", [&] { return intent([](auto& r) { r.deadline_rfc3339 = "2030-01-01"; }); }, false},
      // After the payee key is derived:
      {"policy digest", [&] { return intent([](auto& r) { r.policy_content_digest_hex = "ab"; }); }, false},
      {"payee_seed", [&] { return intent([](auto& r) { r.payee = PayeeSeed{std::span(kPayeeSeed).first(31)}; }); }, false},
      {"evidence", [&] { return evidence(id, R"({"b":1,"a":[true,null]})", {art, "0x" + art}); }, true},
      // The key exists before each of these checks.
      {"intent_id", [&] { return evidence("123e4567", "{}", {art}); }, false},
      {"payload_json", [&] { return evidence(id, "[1,", {art}); }, false},
      {"artifact", [&] { return evidence(id, "{}", {art, "zz"}); }, false},
  };
  for (const auto& road : roads) {
    bool succeeded = false;
    const std::size_t found = freed_blocks_with_secret([&] { succeeded = road.call(); });
    if (found != 0 || succeeded != road.succeeds) report(road.name);
    CHECK_EQ(found, std::size_t{0});
    CHECK(g_blocks_freed > 0);  // the search did look at the call's blocks
    CHECK_EQ(succeeded, road.succeeds);
  }
}

}  // namespace

int main() {
  add_seed_patterns(kPrincipalSeed);
  add_seed_patterns(kPayeeSeed);
  signing_keys_report_and_lose_their_secret();
  secret_bytes_wipe_every_buffer_they_held();
  signing_roads_free_no_seed();
  return check::failures() != 0;
}
