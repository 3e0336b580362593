#pragma once

#include <QString>

namespace bm
{

// The outcome of an operation that can fail: either ok, or a message in words
// a guide understands. The data layer never shows a window; callers show it.
class [[nodiscard]] Status
{
public:
    Status() = default;
    static Status ok() { return {}; }
    static Status failure(const QString &message) { return Status(message); }

    bool isOk() const { return m_failed == false; }
    explicit operator bool() const { return isOk(); }
    const QString &message() const { return m_message; }

private:
    explicit Status(const QString &message)
        : m_failed(true)
        , m_message(message)
    {
    }
    bool m_failed = false;
    QString m_message;
};

} // namespace bm
