#include "wayland_clipboard.h"

#include "fd_io.h"
#include "secret.h"
#include "wlr-data-control-unstable-v1-client-protocol.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <iterator>
#include <poll.h>
#include <unistd.h>
#include <wayland-client.h>

namespace tessivo::clipboard {

namespace {

// Every name a text goes by, best first: Wayland's own, then those of X11 clients.
constexpr std::array<std::string_view, 5> TextFormats = {"text/plain;charset=utf-8", "UTF8_STRING",
                                                         "text/plain", "TEXT", "STRING"};
// Larger texts are not a password, nor a part of one.
constexpr std::size_t MostBytes = 1 << 20;
// How long a reader may take to read what it asked for.
constexpr auto WriteTime = std::chrono::seconds(2);

} // namespace

// What a reader asked for, written by the thread outside the lock, a piece whenever the reader
// takes more, until its time is up: a reader that stops reading or hangs up costs only itself.
struct WaylandClipboard::Write {
    int fd = -1;
    std::string bytes;
    std::size_t done = 0;
    std::chrono::steady_clock::time_point deadline;
};

struct WaylandClipboard::Offer {
    zwlr_data_control_offer_v1* offer = nullptr;
    std::vector<std::string> formats;
    bool own = false; // what this program serves itself

    Offer() = default;
    Offer(const Offer&) = delete;
    Offer& operator=(const Offer&) = delete;
    Offer(Offer&&) = delete;
    Offer& operator=(Offer&&) = delete;
    ~Offer()
    {
        if (offer != nullptr) {
            zwlr_data_control_offer_v1_destroy(offer);
        }
    }

    [[nodiscard]] bool offers(std::string_view format) const
    {
        return std::find(formats.begin(), formats.end(), format) != formats.end();
    }
};

struct WaylandClipboard::Source {
    WaylandClipboard* owner = nullptr;
    zwlr_data_control_source_v1* source = nullptr;
    Board board = Board::Clipboard;
    Content content;

    Source() = default;
    Source(const Source&) = delete;
    Source& operator=(const Source&) = delete;
    Source(Source&&) = delete;
    Source& operator=(Source&&) = delete;
    ~Source()
    {
        derivation::Wipe(content.text);
        if (source != nullptr) {
            zwlr_data_control_source_v1_destroy(source);
        }
    }
};

// The protocol's callbacks, one set per kind of object; `data` is the object's C++ side.
struct Listeners {
    static void global(void* data, wl_registry* registry, uint32_t name, const char* interface,
                       uint32_t version)
    {
        auto* self = static_cast<WaylandClipboard*>(data);
        if (std::strncmp(interface, "weston_", 7) == 0) {
            self->m_weston = true;
        }
        if (std::strcmp(interface, wl_seat_interface.name) == 0 && self->m_seat == nullptr) {
            self->m_seat =
                static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
        } else if (std::strcmp(interface, zwlr_data_control_manager_v1_interface.name) == 0) {
            self->m_managerVersion = std::min(version, 2U);
            self->m_manager = static_cast<zwlr_data_control_manager_v1*>(wl_registry_bind(
                registry, name, &zwlr_data_control_manager_v1_interface, self->m_managerVersion));
        }
    }
    static void globalRemove(void* /*data*/, wl_registry* /*registry*/, uint32_t /*name*/) {}

    static void offerFormat(void* data, zwlr_data_control_offer_v1* /*offer*/, const char* format)
    {
        static_cast<WaylandClipboard::Offer*>(data)->formats.emplace_back(format);
    }

    static void dataOffer(void* data, zwlr_data_control_device_v1* /*device*/,
                          zwlr_data_control_offer_v1* id)
    {
        static constexpr zwlr_data_control_offer_v1_listener OfferListener = {&offerFormat};
        auto offer = std::make_shared<WaylandClipboard::Offer>();
        offer->offer = id;
        zwlr_data_control_offer_v1_add_listener(id, &OfferListener, offer.get());
        static_cast<WaylandClipboard*>(data)->m_offers.push_back(std::move(offer));
    }
    static void selection(void* data, zwlr_data_control_device_v1* /*device*/,
                          zwlr_data_control_offer_v1* id)
    {
        static_cast<WaylandClipboard*>(data)->handleSelection(Board::Clipboard, id);
    }
    static void primarySelection(void* data, zwlr_data_control_device_v1* /*device*/,
                                 zwlr_data_control_offer_v1* id)
    {
        static_cast<WaylandClipboard*>(data)->handleSelection(Board::Selection, id);
    }
    static void finished(void* data, zwlr_data_control_device_v1* /*device*/)
    {
        // The seat went away: nothing more can be read or set through this device.
        auto* self = static_cast<WaylandClipboard*>(data);
        self->m_current[0].reset();
        self->m_current[1].reset();
    }

    static void send(void* data, zwlr_data_control_source_v1* /*source*/, const char* format,
                     int32_t fd)
    {
        auto* source = static_cast<WaylandClipboard::Source*>(data);
        WaylandClipboard& owner = *source->owner;
        fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
        const WaylandClipboard::Content& content = source->content;
        owner.m_writes.push_back(
            {fd,
             format == SecretMarkFormat
                 ? std::string(content.secret ? SecretMarkValue : std::string_view())
                 : content.text,
             0, std::chrono::steady_clock::now() + WriteTime});
        if (owner.m_events.read) {
            owner.m_events.read(source->board);
        }
    }
    static void cancelled(void* data, zwlr_data_control_source_v1* /*source*/)
    {
        auto* source = static_cast<WaylandClipboard::Source*>(data);
        source->owner->dropSource(*source);
    }
};

namespace {

constexpr wl_registry_listener RegistryListener = {&Listeners::global, &Listeners::globalRemove};
constexpr zwlr_data_control_device_v1_listener DeviceListener = {
    &Listeners::dataOffer, &Listeners::selection, &Listeners::finished,
    &Listeners::primarySelection};
constexpr zwlr_data_control_source_v1_listener SourceListener = {&Listeners::send,
                                                                 &Listeners::cancelled};

// The best of the names `offer` gives its text by, or none (`TextFormats.end()`).
auto textFormatOf(const WaylandClipboard::Offer& offer)
{
    return std::find_if(TextFormats.begin(), TextFormats.end(),
                        [&offer](std::string_view name) { return offer.offers(name); });
}

// Writes what `write`'s reader takes now; true once it is over (all written, the reader gone,
// or its time up), its descriptor closed and its bytes wiped.
bool writeSome(WaylandClipboard::Write& write)
{
    std::string_view rest(write.bytes);
    rest.remove_prefix(write.done);
    const bool all = fd_io::Write(write.fd, rest);
    write.done = write.bytes.size() - rest.size();
    if (!all && errno == EAGAIN && std::chrono::steady_clock::now() < write.deadline) {
        return false;
    }
    ::close(write.fd);
    derivation::Wipe(write.bytes);
    return true;
}

// Appends what `fd` holds now to `into`, while that stays below MostBytes; true once the writer
// has finished, or failed.
bool drain(int fd, std::string& into)
{
    std::array<char, 4096> buffer{};
    ssize_t got = 0;
    while ((got = ::read(fd, buffer.data(), buffer.size())) > 0 && into.size() < MostBytes) {
        into.append(buffer.data(), static_cast<std::size_t>(got));
    }
    const bool done = got == 0 || (got < 0 && errno != EAGAIN && errno != EINTR);
    derivation::Wipe(std::span<char>(buffer));
    return done;
}

} // namespace

std::unique_ptr<WaylandClipboard> WaylandClipboard::open()
{
    wl_display* display = wl_display_connect(nullptr);
    if (display == nullptr) {
        return nullptr;
    }
    std::unique_ptr<WaylandClipboard> clipboard(new WaylandClipboard);
    clipboard->m_display = display;
    clipboard->m_registry = wl_display_get_registry(display);
    wl_registry_add_listener(clipboard->m_registry, &RegistryListener, clipboard.get());
    clipboard->m_answered = wl_display_roundtrip(display) >= 0;
    return clipboard;
}

WaylandClipboard::Session WaylandClipboard::askSession()
{
    const std::unique_ptr<WaylandClipboard> probing = open(); // lets go of the connection
    if (probing == nullptr || !probing->m_answered) {
        return {};
    }
    return {true, probing->m_manager != nullptr && probing->m_seat != nullptr, probing->m_weston};
}

std::unique_ptr<WaylandClipboard> WaylandClipboard::connect(Events events)
{
    std::unique_ptr<WaylandClipboard> clipboard = open();
    if (clipboard == nullptr || !clipboard->m_answered || clipboard->m_manager == nullptr ||
        clipboard->m_seat == nullptr) {
        return nullptr;
    }
    clipboard->m_events = std::move(events);
    clipboard->m_device =
        zwlr_data_control_manager_v1_get_data_device(clipboard->m_manager, clipboard->m_seat);
    zwlr_data_control_device_v1_add_listener(clipboard->m_device, &DeviceListener, clipboard.get());
    // The boards' content as it is now.
    if (wl_display_roundtrip(clipboard->m_display) < 0 ||
        ::pipe2(clipboard->m_wake, O_CLOEXEC) != 0) {
        return nullptr;
    }
    clipboard->m_thread = std::thread([raw = clipboard.get()] { raw->serve(); });
    return clipboard;
}

void WaylandClipboard::serve()
{
    std::vector<Write> writing; // outside the lock
    for (;;) {
        {
            const std::lock_guard locked(m_lock);
            while (wl_display_prepare_read(m_display) != 0) {
                wl_display_dispatch_pending(m_display);
            }
            std::move(m_writes.begin(), m_writes.end(), std::back_inserter(writing));
            m_writes.clear();
        }
        wl_display_flush(m_display);
        if (!waitForNews(writing)) {
            break;
        }
        const std::lock_guard locked(m_lock);
        wl_display_dispatch_pending(m_display);
    }
    for (Write& write : writing) {
        write.deadline = {};
        writeSome(write);
    }
}

bool WaylandClipboard::waitForNews(std::vector<Write>& writing)
{
    for (auto write = writing.begin(); write != writing.end();) {
        write = writeSome(*write) ? writing.erase(write) : write + 1;
    }
    std::vector<pollfd> ready{{wl_display_get_fd(m_display), POLLIN, 0}, {m_wake[0], POLLIN, 0}};
    auto soonest = std::chrono::steady_clock::time_point::max();
    for (const Write& write : writing) {
        ready.push_back({write.fd, POLLOUT, 0});
        soonest = std::min(soonest, write.deadline);
    }
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        soonest - std::chrono::steady_clock::now());
    const int timeoutMs =
        writing.empty() ? -1 : static_cast<int>(std::max<long>(left.count(), 0)) + 1;
    if (::poll(ready.data(), ready.size(), timeoutMs) < 0 && errno != EINTR) {
        wl_display_cancel_read(m_display);
        return false;
    }
    if ((ready[1].revents & (POLLIN | POLLHUP)) != 0) {
        wl_display_cancel_read(m_display);
        return false;
    }
    if ((ready[0].revents & (POLLIN | POLLHUP | POLLERR)) == 0) {
        wl_display_cancel_read(m_display);
    } else if (wl_display_read_events(m_display) < 0) {
        m_lost = true; // the compositor has gone: from now on every board answers at once
        return false;
    }
    return true;
}

WaylandClipboard::~WaylandClipboard()
{
    if (m_thread.joinable()) {
        ::close(m_wake[1]);
        m_wake[1] = -1;
        m_thread.join();
    }
    for (const int end : m_wake) {
        if (end >= 0) {
            ::close(end);
        }
    }
    for (Write& write : m_writes) {
        write.deadline = {};
        writeSome(write);
    }
    m_sources.clear();
    m_current[0].reset();
    m_current[1].reset();
    m_offers.clear();
    if (m_device != nullptr) {
        zwlr_data_control_device_v1_destroy(m_device);
    }
    if (m_manager != nullptr) {
        zwlr_data_control_manager_v1_destroy(m_manager);
    }
    if (m_seat != nullptr) {
        wl_seat_destroy(m_seat);
    }
    if (m_registry != nullptr) {
        wl_registry_destroy(m_registry);
    }
    if (m_display != nullptr) {
        wl_display_disconnect(m_display);
    }
}

bool WaylandClipboard::hasBoard(Board board) const
{
    return !m_lost && (board == Board::Clipboard || m_managerVersion >= 2);
}

bool WaylandClipboard::offersSecretMark(Board board) const
{
    const std::lock_guard locked(m_lock);
    const Offer* offer = m_current[IndexOf(board)].get();
    return offer != nullptr && offer->offers(SecretMarkFormat);
}

bool WaylandClipboard::servesOwn(Board board) const
{
    if (!hasBoard(board)) {
        return false;
    }
    const std::lock_guard locked(m_lock);
    const std::size_t index = IndexOf(board);
    if (m_ownChanges[index] > 0) {
        return m_lastOwnSet[index];
    }
    const Offer* offer = m_current[index].get();
    return offer != nullptr && offer->own;
}

void WaylandClipboard::handleSelection(Board board, zwlr_data_control_offer_v1* id)
{
    std::shared_ptr<Offer> offer;
    const auto found = std::find_if(m_offers.begin(), m_offers.end(),
                                    [id](const auto& announced) { return announced->offer == id; });
    if (found != m_offers.end()) {
        offer = std::move(*found);
        m_offers.erase(found);
    }
    int& own = m_ownChanges[IndexOf(board)];
    const bool ours = own > 0;
    if (ours) {
        --own;
    }
    if (offer != nullptr) {
        offer->own = ours;
    }
    const bool filled = offer != nullptr;
    m_current[IndexOf(board)] = std::move(offer);
    if (!ours && m_events.changed) {
        m_events.changed(board, filled);
    }
}

void WaylandClipboard::dropSource(Source& source)
{
    std::erase_if(m_sources, [&source](const auto& held) { return held.get() == &source; });
}

WaylandClipboard::Content WaylandClipboard::read(Board board, const Pump& pump, int timeoutMs)
{
    if (m_lost) {
        return {};
    }
    std::unique_lock locked(m_lock);
    // What this program has just set or emptied is what Wayland clients get once the
    // compositor has it.
    if (const std::size_t index = IndexOf(board); m_ownChanges[index] > 0) {
        return m_lastOwnSet[index] ? ownContent(board) : Content{};
    }
    // Kept while reading, even if the board changes meanwhile; let go with the lock held, as
    // the thread may be handling the compositor's news.
    const std::shared_ptr<Offer> offer = m_current[IndexOf(board)];
    if (offer != nullptr && offer->own) {
        return ownContent(board); // no need to ask itself
    }
    const auto format = offer == nullptr ? TextFormats.end() : textFormatOf(*offer);
    if (format == TextFormats.end()) {
        return {};
    }
    locked.unlock();
    Content content = receiveText(*offer, *format, pump, timeoutMs);
    locked.lock();
    return content;
}

WaylandClipboard::Content WaylandClipboard::ownContent(Board board) const
{
    for (auto it = m_sources.rbegin(); it != m_sources.rend(); ++it) {
        if ((*it)->board == board) {
            return (*it)->content;
        }
    }
    return {};
}

WaylandClipboard::Content WaylandClipboard::receiveText(const Offer& offer, std::string_view format,
                                                        const Pump& pump, int timeoutMs)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    Content content;
    if (!receive(offer, format, content.text, pump, deadline) || content.text.size() >= MostBytes) {
        derivation::Wipe(content.text);
        return {};
    }
    if (offer.offers(SecretMarkFormat)) {
        std::string mark;
        receive(offer, SecretMarkFormat, mark, pump, deadline);
        content.secret = mark == SecretMarkValue;
    }
    return content;
}

bool WaylandClipboard::receive(const Offer& offer, std::string_view format, std::string& into,
                               const Pump& pump, std::chrono::steady_clock::time_point deadline)
{
    int ends[2] = {-1, -1};
    if (::pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0) {
        return false;
    }
    {
        const std::lock_guard sending(m_lock);
        zwlr_data_control_offer_v1_receive(offer.offer, std::string(format).c_str(), ends[1]);
        wl_display_flush(m_display);
    }
    ::close(ends[1]);
    bool done = false;
    while (!done && !m_lost && std::chrono::steady_clock::now() < deadline) {
        fd_io::WaitReadable(ends[0], 10);
        done = drain(ends[0], into);
        if (!done && pump) {
            pump();
        }
    }
    ::close(ends[0]);
    return done;
}

void WaylandClipboard::set(Board board, const Content& content)
{
    if (!hasBoard(board)) {
        return;
    }
    const std::lock_guard locked(m_lock);
    auto source = std::make_unique<Source>();
    source->owner = this;
    source->board = board;
    source->content = content;
    source->source = zwlr_data_control_manager_v1_create_data_source(m_manager);
    zwlr_data_control_source_v1_add_listener(source->source, &SourceListener, source.get());
    for (const std::string_view format : TextFormats) {
        zwlr_data_control_source_v1_offer(source->source, std::string(format).c_str());
    }
    if (content.secret) {
        zwlr_data_control_source_v1_offer(source->source, std::string(SecretMarkFormat).c_str());
    }
    if (board == Board::Selection) {
        zwlr_data_control_device_v1_set_primary_selection(m_device, source->source);
    } else {
        zwlr_data_control_device_v1_set_selection(m_device, source->source);
    }
    ++m_ownChanges[IndexOf(board)];
    m_lastOwnSet[IndexOf(board)] = true;
    m_sources.push_back(std::move(source));
    wl_display_flush(m_display);
}

void WaylandClipboard::clear(Board board)
{
    if (!hasBoard(board)) {
        return;
    }
    const std::lock_guard locked(m_lock);
    if (board == Board::Selection) {
        zwlr_data_control_device_v1_set_primary_selection(m_device, nullptr);
    } else {
        zwlr_data_control_device_v1_set_selection(m_device, nullptr);
    }
    ++m_ownChanges[IndexOf(board)];
    m_lastOwnSet[IndexOf(board)] = false;
    wl_display_flush(m_display);
}

} // namespace tessivo::clipboard
