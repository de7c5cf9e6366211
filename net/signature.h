// Detached Ed25519 signatures: the publisher signs every installer with its private key, and the
// program accepts an installer only with a signature that its built-in public key confirms.
#pragma once

#include <cstddef>
#include <string_view>

inline constexpr std::size_t kEd25519PublicKeySize = 32;
inline constexpr std::size_t kEd25519SignatureSize = 64;

// True when signature is a valid Ed25519 signature of message by publicKey (its raw 32 bytes).
// A key or signature of the wrong size, or no key at all, confirms nothing.
bool IsValidSignature(std::string_view message, std::string_view signature,
                      std::string_view publicKey);
