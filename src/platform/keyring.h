#pragma once

#include "core/status.h"

#include <QString>

namespace bm::platform
{

// The desktop's keyring (the Secret Service on Linux), where the program
// keeps its passwords under the service name "Brindlemoor": never in the
// database or a settings file. Every use goes through this seam; tests put
// a keyring of their own in.
class KeyringService
{
public:
    virtual ~KeyringService() = default;
    // The secret kept under the key; found is false (and the call ok) when
    // nothing is kept there, which is not a failure.
    virtual Status read(const QString &key, QString &secret, bool &found) = 0;
    virtual Status write(const QString &key, const QString &secret) = 0;
    // Removing what is not there succeeds.
    virtual Status remove(const QString &key) = 0;
};

KeyringService &keyringService();
void setKeyringService(KeyringService *service); // nullptr restores production

inline constexpr char keyringServiceName[] = "Brindlemoor";

// How long the production keyring is waited for, per call. Long enough for
// the guide to type the keyring's own password when it asks to be unlocked.
inline constexpr int keyringWaitMs = 60000;

// A keyring that can't be reached (no Secret Service on the machine, the
// keyring locked and left so, no answer in time) is a failure in the
// guide's words, never a wait without end.
[[nodiscard]] inline Status readSecret(const QString &key, QString &out, bool &found)
{
    return keyringService().read(key, out, found);
}
[[nodiscard]] inline Status writeSecret(const QString &key, const QString &value)
{
    return keyringService().write(key, value);
}
[[nodiscard]] inline Status removeSecret(const QString &key)
{
    return keyringService().remove(key);
}

} // namespace bm::platform
