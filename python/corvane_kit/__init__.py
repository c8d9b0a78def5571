"""Signing core of the payment-intent client kit."""

from corvane_kit._native import (
    build_signed_create_intent_json,
    build_signed_create_intent_with_policy_binding_json,
    encode_evidence_sign_v1_hex,
    sign_payee_evidence_binding_json,
    verify_ed25519_sha256_hex,
)

__all__ = [
    "build_signed_create_intent_json",
    "build_signed_create_intent_with_policy_binding_json",
    "encode_evidence_sign_v1_hex",
    "sign_payee_evidence_binding_json",
    "verify_ed25519_sha256_hex",
]
