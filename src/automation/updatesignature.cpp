#include "automation/updatesignature.h"

#include <memory>
#include <openssl/evp.h>

namespace UpdateSignature {

namespace {

// Standard Base64 decoded strictly: the text must be exactly what encoding the bytes gives, so
// URL-safe letters, missing padding, spaces and trailing garbage are all refused.
std::optional<QByteArray> strictBase64(const QByteArray &text)
{
    const QByteArray::FromBase64Result decoded
        = QByteArray::fromBase64Encoding(text, QByteArray::Base64Encoding | QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded || decoded.decoded.toBase64(QByteArray::Base64Encoding) != text)
        return std::nullopt;
    return decoded.decoded;
}

} // namespace

std::optional<QByteArray> decodePublicKey(const QString &text)
{
    const std::optional<QByteArray> key = strictBase64(text.toLatin1());
    if (!key || key->size() != kPublicKeyBytes || text.toLatin1() != text.toUtf8())
        return std::nullopt;
    return key;
}

bool verify(const QByteArray &publicKey, const QByteArray &data, const QByteArray &signatureBase64)
{
    const std::optional<QByteArray> signature = strictBase64(signatureBase64);
    if (publicKey.size() != kPublicKeyBytes || !signature || signature->size() != kSignatureBytes)
        return false;
    const std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)> key(
        EVP_PKEY_new_raw_public_key(EVP_PKEY_ED25519, nullptr,
            reinterpret_cast<const unsigned char *>(publicKey.constData()), size_t(publicKey.size())),
        &EVP_PKEY_free);
    if (!key)
        return false;
    const std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> context(EVP_MD_CTX_new(), &EVP_MD_CTX_free);
    if (!context || EVP_DigestVerifyInit(context.get(), nullptr, nullptr, nullptr, key.get()) != 1)
        return false;
    return EVP_DigestVerify(context.get(), reinterpret_cast<const unsigned char *>(signature->constData()),
               size_t(signature->size()), reinterpret_cast<const unsigned char *>(data.constData()),
               size_t(data.size()))
        == 1;
}

} // namespace UpdateSignature
