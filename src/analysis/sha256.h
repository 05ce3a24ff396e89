#pragma once

#include <QByteArray>
#include <QString>

#include <array>
#include <cstddef>

struct evp_md_ctx_st;

// A streaming SHA-256 digest (OpenSSL EVP, which uses the CPU's SHA instructions).
// Not copyable; one instance per thread. `reset` starts a new digest on the same context.
class Sha256
{
public:
    Sha256();
    ~Sha256();
    Sha256(const Sha256 &) = delete;
    Sha256 &operator=(const Sha256 &) = delete;

    using Digest = std::array<unsigned char, 32>;

    void reset();
    void update(const char *data, std::size_t size);
    // The digest; the object must be reset before it is used again.
    Digest finish();

    // 64 lower-case hexadecimal digits.
    static QString toHex(const Digest &digest);

private:
    evp_md_ctx_st *m_context = nullptr;
};
