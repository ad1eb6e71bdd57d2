#pragma once
// Signed deployments on the publisher's side: making a deployment's key pair, reading its
// secret key, the serial that every signed list carries, and the SHA-256 of the files.
#include <cstdint>
#include <string>
#include <string_view>

#include "FileSystem.h"
#include "filelist/ListSignature.h"

namespace ornivel::publish {

// Makes a new key pair in `keyFolder` (made when missing): the secret key
// "ornivel-signing.key" (its owner's only) and the public key "ornivel-Key.txt". Existing key
// files are never replaced. False with the problem.
bool generateKeys(const Path& keyFolder, std::string& publicKeyLine, std::string& problem);

// Reads a secret key file; false with the problem.
bool readSigningKey(const Path& keyFile, SecretKey& key, std::string& problem);

// The serial of the list element's start tag of a list (0 when there is none).
uint64_t serialOfList(std::string_view list);
// The serial of the next publication: above the one of the list deployed now, and at least
// the time in seconds since 1970, so that it keeps growing even when a deployment is made
// afresh in a new folder. A deployed serial more than a year ahead of that time is one that
// installations refuse; it is passed over.
uint64_t nextSerial(std::string_view deployedList, int64_t unixSeconds);

} // namespace ornivel::publish
