"""Signing core of the payment-intent client kit.

Two layers over the same signing code:

* the native functions, taking text, ints and seed bytes exactly as the
  service's documents hold them: ``build_signed_create_intent_json``,
  ``build_signed_create_intent_with_policy_binding_json``,
  ``sign_payee_evidence_binding_json``, ``encode_evidence_sign_v1_hex`` and
  ``verify_ed25519_sha256_hex``;
* their Pythonic forms, taking dicts and lists for JSON documents, aware
  datetimes, UUIDs and raw bytes: ``create_intent``, ``create_policy_intent``,
  ``sign_evidence``, ``evidence_sign_v1_hex`` and ``verify_digest_signature``.

Both give the same bytes for the same inputs. ``public_key`` gives the key a
signer registers with the service. ``check_create_intent`` and
``check_evidence`` check a request body as the service does, giving a
``BodyCheck``. ``corvane_kit.batch`` runs the Pythonic functions over many
requests at once, on every core.
"""

__version__ = "0.1.0"

from corvane_kit._api import (
    create_intent,
    create_policy_intent,
    evidence_sign_v1_hex,
    public_key,
    sign_evidence,
    verify_digest_signature,
)
from corvane_kit._check import BodyCheck, check_create_intent, check_evidence
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
    "create_intent",
    "create_policy_intent",
    "evidence_sign_v1_hex",
    "sign_evidence",
    "verify_digest_signature",
    "public_key",
    "check_create_intent",
    "check_evidence",
    "BodyCheck",
]
