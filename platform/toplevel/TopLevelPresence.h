#pragma once
// Top-level windows found by their title, across programs of the same user.
//
// A program that shows a top-level window claims the window's title: it holds an exclusive lock
// on the file <runtime folder>/qxm-windows/<fileNameFor(title)> (see RuntimeFiles.h) for as long
// as the window is up. "A window titled T exists" means "someone holds the lock for T". Titles
// compare exactly (case and blanks count). The lock ends with the process, also when it is
// killed, so a crashed program never leaves its title behind.
//
// Typical use, a single-instance program:
//     qxm::toplevel::TopLevelPresence presence(QStringLiteral("Movie Marquill"));
//     if (!presence.claim()) return 0; // another instance shows that window: end silently
#include <QString>

#include "platform/toplevel/RuntimeFiles.h"

namespace qxm::toplevel {

class TopLevelPresence {
public:
    explicit TopLevelPresence(QString title);
    ~TopLevelPresence() = default; // releases the claim

    TopLevelPresence(const TopLevelPresence&) = delete;
    TopLevelPresence& operator=(const TopLevelPresence&) = delete;

    // Claims the title. True when this object holds it now (also when it held it already);
    // false when someone else holds it, or when the runtime folder cannot be used (then *error
    // says why; it is left alone when the title is simply taken).
    bool claim(QString* error = nullptr);
    void release() { m_lock.release(); }
    bool held() const { return m_lock.locked(); }
    const QString& title() const { return m_title; }

private:
    QString m_title;
    ExclusiveFileLock m_lock;
};

// The lock file of a title; empty (with *error) when the runtime folder cannot be used.
QString presenceFilePath(const QString& title, QString* error = nullptr);

// Whether a top-level window with exactly this title exists, in this program or another.
bool topLevelWindowExists(const QString& title);

// Waits until a window with this title exists, dispatching Qt events meanwhile (a local event
// loop woken every 50 ms to look). True as soon as it exists; false after timeoutMs, or at once
// with timeoutMs 0 when it does not exist. A negative timeoutMs waits without limit.
bool waitForTopLevelWindow(const QString& title, int timeoutMs);

} // namespace qxm::toplevel
