"""Create-intent bodies against independent oracles: the IntentSignV6/V7
record rebuilt by payload_reference from the inputs, verified with PyNaCl
against the document's own signature; and the order of the input checks."""

import base64
import json

import pytest
from hypothesis import given, settings
from hypothesis import strategies as st
from nacl.signing import VerifyKey

import payload_reference as ref
from corvane_kit import _native as native
from strategies import SEEDS, SPACE, hex_spellings, json_texts, timestamps, uuid_spellings
from valid_arguments import CREATE, POLICY

RAILS = ["stripe_connect", "stripe_ach_debit", "stripe_mpp", "adyen_manual_capture", "x402_usdc_base"]
TOOL = st.sampled_from(["read", "Read", " read", "WRITE\n", "", "é", "ÜBER"]) | st.text(max_size=5)


@settings(max_examples=150, deadline=None)
@given(policy=st.booleans(), seeds=st.tuples(SEEDS, SEEDS), texts=st.lists(st.text(), min_size=4, max_size=4),
       predicate_ref=st.text(max_size=3) | SPACE, amount=st.integers(-(2**63), 2**63 - 1),
       jsons=st.lists(json_texts(), min_size=3, max_size=3), tools=st.lists(TOOL, min_size=1, max_size=4),
       rail=st.sampled_from(RAILS), around=SPACE, intent=uuid_spellings(), deadline=timestamps(),
       template=st.text(max_size=5), seq=st.integers(0, 2**32 - 1), digest=hex_spellings(prefixes=("",)))
def test_document_and_signature_match_the_reference(policy, seeds, texts, predicate_ref, amount, jsons, tools,
                                                    rail, around, intent, deadline, template, seq, digest):
    tenant, principal_did, payee_did, currency = texts
    args = {"tenant_id": tenant, "principal_seed": seeds[0], "payee_seed": seeds[1],
            "intent_id": around + intent[0] + around, "principal_did": principal_did, "payee_did": payee_did,
            "budget_json": jsons[0][0], "currency": currency, "amount_cents": amount,
            "evidence_schema_json": jsons[1][0], "deadline_rfc3339": deadline[0], "predicate_json": jsons[2][0],
            "predicate_ref": predicate_ref, "allowed_tools_json": json.dumps(tools),
            "settlement_rail": around + rail + around}
    if policy:
        args = {**{("materialized_predicate_json" if k == "predicate_json" else k): v for k, v in args.items()},
                "policy_template_id": template, "policy_version_seq": seq, "policy_content_digest_hex": digest[0]}
        document = json.loads(native.build_signed_create_intent_with_policy_binding_json(**args))
    else:
        document = json.loads(native.build_signed_create_intent_json(**args))

    expected, payload = ref.intent_oracle(args, {"deadline": deadline[1]})
    assert list(document) == [*list(expected)[:-2], "principal_signature", *list(expected)[-2:]]
    assert {k: v for k, v in document.items() if k != "principal_signature"} == expected
    assert (document["intent_id"], document["allowed_tools"]) == (str(intent[1]), tools)
    assert "predicate_ref" in document or not ref.trim(predicate_ref)
    VerifyKey(ref.public_key(seeds[0])).verify(payload, base64.b64decode(document["principal_signature"]))


RAIL_MESSAGE = ("settlement_rail must be one of stripe_connect, stripe_ach_debit, stripe_mpp, adyen_manual_capture,"
                " x402_usdc_base")
# The checks in their order: with inputs k and after bad, input k is reported.
CHAIN = [
    ("principal_seed", bytes(31), "principal_seed must be exactly 32 bytes (Ed25519 signing key seed)"),
    ("payee_seed", bytes(33), "payee_seed must be exactly 32 bytes (Ed25519 signing key seed)"),
    ("intent_id", "\u3000 ", "intent_id: invalid length: found 0"),
    ("budget_json", "", "budget_json: EOF while parsing a value at line 1 column 0"),
    ("evidence_schema_json", "{", "evidence_schema_json: EOF while parsing an object at line 1 column 1"),
    ("predicate_json", "nul", "predicate_json: EOF while parsing a value at line 1 column 3"),
    ("allowed_tools_json", "{}", "allowed_tools_json must be a JSON array of strings: invalid type: map, expected"
     " a sequence at line 1 column 0"),
    ("allowed_tools_json", "[]", "allowed_tools must be non-empty"),
    ("settlement_rail", "stripe", RAIL_MESSAGE),
    ("deadline_rfc3339", " 2030-01-01T00:00:00Z", "deadline_rfc3339: the 'year' component could not be parsed"),
    ("policy_content_digest_hex", "0g", "policy_content_digest_hex: Invalid character 'g' at position 1"),
]


@pytest.mark.parametrize("policy, k", [(p, k) for p in (False, True) for k in range(len(CHAIN) - 1 + p)])
def test_checks_run_in_order(policy, k):
    bad = {}
    for name, value, _ in CHAIN[k:]:
        bad.setdefault(name, value)
    message = CHAIN[k][2]
    if policy:
        bad["materialized_predicate_json"] = bad.pop("predicate_json", POLICY["materialized_predicate_json"])
        message = message.replace("predicate_json: ", "materialized_predicate_json: ")
        function, base = native.build_signed_create_intent_with_policy_binding_json, POLICY
    else:
        bad.pop("policy_content_digest_hex", None)
        function, base = native.build_signed_create_intent_json, CREATE
    with pytest.raises(ValueError) as caught:
        function(**{**base, **bad})
    assert caught.value.args == (message,)

