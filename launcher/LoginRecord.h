#pragma once
// The login record that hands the native login to the Java client ("launcher.dat"), and
// the reading of the Java side's outcome.
#include <cstdint>
#include <string>

namespace ornivel {

// Each UTF-16 unit as four lower-case hexadecimal digits ("Anna" -> 0041006e006e0061).
std::wstring hexUtf16(const std::wstring& text);
// MD5 of the password's UTF-8 bytes as 32 lower-case hexadecimal digits. The whole
// password is digested, however long it is.
std::wstring passwordDigest(const std::wstring& password);

struct LoginInput {
    std::wstring userId;    // as typed; trimmed for the record
    std::wstring password;  // as typed
    std::wstring serverHost;
    int serverPort = 0;
    std::wstring serverCaption;
    int serverExtra = -1;
};

// "OGM -1 <hex user id> <password digest> <host> <port> <hex caption> <extra>\r\n<end>\r\n".
std::wstring buildLoginRequest(const LoginInput& input);

// Whether an outcome reported by the Java side sends the user back to the login form:
// a connection failure ("IOException") or refused credentials ("WrongUserOrPasswordException").
bool outcomeAsksForAnotherLogin(const std::wstring& outcome);

// Milliseconds between two file times (100-ns units), as the loginTime variable holds it.
std::wstring elapsedMillisecondsText(uint64_t creation100ns, uint64_t now100ns);

} // namespace ornivel
