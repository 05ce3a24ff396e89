#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// Ed25519 keys and signatures of the update feed (OpenSSL). Stateless; safe on any thread.
namespace UpdateSignature {

constexpr int kPublicKeyBytes = 32;
constexpr int kSignatureBytes = 64;

// The key of `text`: standard Base64 (with its padding, nothing else) of exactly 32 bytes.
std::optional<QByteArray> decodePublicKey(const QString &text);

// Whether `signatureBase64` (standard Base64 of 64 bytes) is the Ed25519 signature of `data`
// under `publicKey` (32 bytes).
bool verify(const QByteArray &publicKey, const QByteArray &data, const QByteArray &signatureBase64);

} // namespace UpdateSignature
