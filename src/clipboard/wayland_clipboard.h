#pragma once

#include "clipboard.h"

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

// The Wayland clipboard and primary selection as every Wayland client sees them, whatever
// platform the program's windows run on (XWayland included), reached through the compositor's
// data-control protocol (wlr-data-control, offered by wlroots compositors and KWin). It needs
// no window and no keyboard focus, so it works while the program's windows are gone. What this
// program serves is served from a thread of its own, so a read elsewhere in the program (of
// the X11 clipboard that the compositor's bridge fills from here, say) never waits on it. No Qt.
struct wl_display;
struct wl_registry;
struct wl_seat;
struct zwlr_data_control_manager_v1;
struct zwlr_data_control_device_v1;
struct zwlr_data_control_offer_v1;

namespace tessivo::clipboard {

class WaylandClipboard {
public:
    // A board's text in UTF-8, and whether it carries the mark asking histories to skip it.
    struct Content {
        std::string text;
        bool secret = false;
    };

    // Runs whatever else must go on (answering this program's own clipboard, say) while a read
    // waits for the program that serves the board.
    using Pump = std::function<void()>;

    // What other programs do to the boards, told on the clipboard's own thread with the
    // clipboard locked: hand the news over, call nothing here. `changed`: another program
    // replaced (`filled`) or emptied the board; `read`: another program asked for what this
    // program serves on it.
    struct Events {
        std::function<void(Board, bool filled)> changed;
        std::function<void(Board)> read;
    };

    // The session's clipboard, telling `events` from the start, or nullptr when there is no
    // Wayland session or its compositor offers no data-control.
    static std::unique_ptr<WaylandClipboard> connect(Events events);

    // What the Wayland session's compositor offers, as far as this program cares: whether one
    // answers at all, whether it offers data-control, and whether it is Weston. Asked before any
    // toolkit starts.
    struct Session {
        bool answers = false;
        bool dataControl = false;
        bool weston = false;
    };
    static Session askSession();

    WaylandClipboard(const WaylandClipboard&) = delete;
    WaylandClipboard& operator=(const WaylandClipboard&) = delete;
    WaylandClipboard(WaylandClipboard&&) = delete;
    WaylandClipboard& operator=(WaylandClipboard&&) = delete;
    // What this program serves goes with it.
    ~WaylandClipboard();

    // False for both boards once the compositor has gone: from then on nothing is there.
    [[nodiscard]] bool hasBoard(Board board) const;
    // Whether the board's content offers the secret mark.
    [[nodiscard]] bool offersSecretMark(Board board) const;
    // Whether what Wayland clients paste from the board is what this program serves, counting
    // a content it has just set that the compositor has yet to confirm.
    [[nodiscard]] bool servesOwn(Board board) const;

    // The board's text now, or as this program has just set it (empty when it holds none),
    // waiting at most `timeoutMs` for the program that serves it and running `pump` meanwhile.
    [[nodiscard]] Content read(Board board, const Pump& pump, int timeoutMs);
    // Serves `content` on the board until another program replaces it or this one ends.
    void set(Board board, const Content& content);
    // Empties the board.
    void clear(Board board);

    struct Source;
    struct Offer;
    struct Write;

private:
    WaylandClipboard() = default;
    // A connection to the session's compositor, what its registry offers heard; nullptr without
    // a session.
    static std::unique_ptr<WaylandClipboard> open();
    void handleSelection(Board board, zwlr_data_control_offer_v1* offer);
    // What this program serves on the board itself. Call with the lock held.
    [[nodiscard]] Content ownContent(Board board) const;
    // The text of `offer` in `format`, and its mark, each read waiting until `timeoutMs` from now.
    [[nodiscard]] Content receiveText(const Offer& offer, std::string_view format, const Pump& pump,
                                      int timeoutMs);
    // Reads one format of `offer` into `into`, running `pump` while it waits; false when its
    // program did not answer by `deadline`.
    bool receive(const Offer& offer, std::string_view format, std::string& into, const Pump& pump,
                 std::chrono::steady_clock::time_point deadline);
    void dropSource(Source& source);
    void serve();
    // Waits for the compositor, this end's wake-up or a reader ready for more; false once the
    // thread should end.
    bool waitForNews(std::vector<Write>& writing);
    friend struct Listeners;

    Events m_events;
    std::atomic<bool> m_lost{false}; // the compositor has gone
    mutable std::mutex m_lock;       // everything below, once the thread runs
    std::thread m_thread;
    int m_wake[2] = {-1, -1};    // written to end the thread
    std::vector<Write> m_writes; // asked for, to be written by the thread outside the lock

    wl_display* m_display = nullptr;
    wl_registry* m_registry = nullptr;
    wl_seat* m_seat = nullptr;
    zwlr_data_control_manager_v1* m_manager = nullptr;
    unsigned m_managerVersion = 0;
    zwlr_data_control_device_v1* m_device = nullptr;
    std::vector<std::shared_ptr<Offer>> m_offers;   // announced, not yet placed or gone
    std::shared_ptr<Offer> m_current[2];            // what each board holds now
    std::vector<std::unique_ptr<Source>> m_sources; // what this program serves
    int m_ownChanges[2] = {0, 0}; // changes this program made that the compositor has yet to tell
    bool m_lastOwnSet[2] = {false, false}; // the newest of them filled the board
    bool m_weston = false;                 // the compositor offers Weston's own interfaces
    bool m_answered = false;               // the registry answered
};

} // namespace tessivo::clipboard
