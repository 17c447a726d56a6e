#pragma once

#include "password_clipboard.h"

#include <QSocketNotifier>

#include <functional>
#include <memory>

// How one clipboard holder succeeds another: the new one finds the one before under a name of
// its user and display, takes over what goes back when the time is up, puts its own password on
// and tells the one before, which then ends without touching the clipboard. Should the new one
// fail, the one before carries on.
namespace tessivo::clip_holder {

// How long one holder waits on another that replaces it or is replaced: both are this
// program, so only a hung one takes this long.
inline constexpr int SuccessionMs = 3000;

// The holder before this one, while this one takes over from it.
class Predecessor {
public:
    // Finds it, and has `rules` adopt what goes back from it; without one still holding its
    // password, `rules` remember the clipboard as it is now.
    explicit Predecessor(clipboard::PasswordClipboard& rules);
    Q_DISABLE_COPY_MOVE(Predecessor)
    // Not replaced, it carries on.
    ~Predecessor();

    // This holder's password is on: the one before ends.
    void replace();

private:
    int m_socket = -1;
};

// The holders after this one, listened for while this one holds its password.
class Successors {
public:
    // `holding` says whether this holder's password is still on the clipboard, `rules` what
    // goes back; `replaced` runs once a successor has taken over.
    Successors(std::function<bool()> holding, const clipboard::PasswordClipboard& rules,
               std::function<void()> replaced);
    Q_DISABLE_COPY_MOVE(Successors)
    ~Successors() { stop(); }

    void listen();
    void stop();

private:
    void arrive();
    // Tells `successor` whether this holder still holds its password and if so what goes back;
    // true once it has put its own on.
    [[nodiscard]] bool handOver(int successor) const;

    std::function<bool()> m_holding;
    const clipboard::PasswordClipboard& m_rules;
    std::function<void()> m_replaced;
    int m_listener = -1;
    std::unique_ptr<QSocketNotifier> m_listening;
};

} // namespace tessivo::clip_holder
