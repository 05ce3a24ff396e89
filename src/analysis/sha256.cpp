#include "analysis/sha256.h"

#include <algorithm>
#include <openssl/evp.h>
#include <stdexcept>

Sha256::Sha256()
    : m_context(EVP_MD_CTX_new())
{
    if (m_context == nullptr)
        throw std::bad_alloc();
    reset();
}

Sha256::~Sha256()
{
    EVP_MD_CTX_free(m_context);
}

void Sha256::reset()
{
    if (EVP_DigestInit_ex(m_context, EVP_sha256(), nullptr) != 1)
        throw std::runtime_error("SHA-256 is not available");
}

void Sha256::update(const char *data, std::size_t size)
{
    EVP_DigestUpdate(m_context, data, size);
}

Sha256::Digest Sha256::finish()
{
    unsigned char bytes[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_DigestFinal_ex(m_context, bytes, &length);
    Digest digest {};
    std::copy_n(bytes, std::min<std::size_t>(length, digest.size()), digest.begin());
    return digest;
}

QString Sha256::toHex(const Digest &digest)
{
    return QString::fromLatin1(
        QByteArray::fromRawData(reinterpret_cast<const char *>(digest.data()), qsizetype(digest.size())).toHex());
}
