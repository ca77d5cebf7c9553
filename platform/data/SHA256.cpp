#include "platform/data/SHA256.h"

#include "platform/base/Error.h"

#include <openssl/evp.h>

namespace zestrel::platform {

SHA256Digest sha256(std::string_view bytes) {
    SHA256Digest digest{};
    unsigned int length = 0;
    if (EVP_Digest(bytes.data(), bytes.size(), digest.data(), &length, EVP_sha256(), nullptr) !=
            1 ||
        length != digest.size()) {
        fatal("SHA-256 is not available from the crypto library");
    }
    return digest;
}

SHA256Digest sha256(const Data& bytes) {
    return sha256(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

} // namespace zestrel::platform
