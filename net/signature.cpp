#include "net/signature.h"

#include <openssl/evp.h>

#include <memory>

namespace {

const unsigned char* Bytes(std::string_view text) {
    return reinterpret_cast<const unsigned char*>(text.data());
}

}  // namespace

bool IsValidSignature(std::string_view message, std::string_view signature,
                      std::string_view publicKey) {
    if (publicKey.size() != kEd25519PublicKeySize || signature.size() != kEd25519SignatureSize)
        return false;
    const std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)> key(
        EVP_PKEY_new_raw_public_key(EVP_PKEY_ED25519, nullptr, Bytes(publicKey), publicKey.size()),
        &EVP_PKEY_free);
    const std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> context(EVP_MD_CTX_new(),
                                                                          &EVP_MD_CTX_free);
    // Ed25519 signs the message itself, in one pass: there is no separate digest to name.
    return key && context &&
           EVP_DigestVerifyInit(context.get(), nullptr, nullptr, nullptr, key.get()) == 1 &&
           EVP_DigestVerify(context.get(), Bytes(signature), signature.size(), Bytes(message),
                            message.size()) == 1;
}
