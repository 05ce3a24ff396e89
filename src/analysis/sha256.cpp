#include "analysis/sha256.h"

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

QByteArray Sha256::finish()
{
    QByteArray digest(EVP_MAX_MD_SIZE, '\0');
    unsigned int length = 0;
    EVP_DigestFinal_ex(m_context, reinterpret_cast<unsigned char *>(digest.data()), &length);
    digest.truncate(length);
    return digest;
}

QString Sha256::toHex(const QByteArray &digest)
{
    return QString::fromLatin1(digest.toHex());
}
