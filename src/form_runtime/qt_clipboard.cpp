#include "qt_clipboard.h"

#include "qt_text.h"
#include "secret.h"
#include "wayland_clipboard.h"

#include <QAbstractNativeEventFilter>
#include <QCoreApplication>
#include <QEventLoop>
#include <QGuiApplication>
#include <QMimeData>
#include <QTimer>

#include <cstdint>
#include <functional>

namespace tessivo::forms {

namespace {

QClipboard::Mode toQt(ClipboardMode mode)
{
    return mode == ClipboardMode::Selection ? QClipboard::Selection : QClipboard::Clipboard;
}

std::size_t indexOf(QClipboard::Mode mode) { return mode == QClipboard::Selection ? 1 : 0; }

// Only X11 has a selection beside the clipboard; elsewhere there is nothing to hold or clear.
bool exists(const QClipboard& clipboard, ClipboardMode mode)
{
    return mode == ClipboardMode::Clipboard || clipboard.supportsSelection();
}

// Platforms whose clipboard tells who owns it. Elsewhere (offscreen, minimal) the clipboard
// lives inside this process, so its content is all there is to compare.
bool platformTracksOwnership()
{
    const QString platform = QGuiApplication::platformName();
    return platform != u"offscreen" && platform != u"minimal";
}

// The formats that ask clipboard histories and sync services to keep a text out.
#if defined(Q_OS_WIN)
const QString SecretFormat = QStringLiteral(
    "application/x-qt-windows-mime;value=\"ExcludeClipboardContentFromMonitorProcessing\"");
#elif defined(Q_OS_MACOS)
const QString SecretFormat = QStringLiteral("application/x-nspasteboard-concealed-type");
#else
const QString SecretFormat = QStringLiteral("x-kde-passwordManagerHint");
#endif

std::unique_ptr<QMimeData> plainText(const QString& text)
{
    auto data = std::make_unique<QMimeData>();
    data->setText(text);
    return data;
}

} // namespace

std::unique_ptr<QMimeData> secretText(const QString& text)
{
    auto data = plainText(text);
#if defined(Q_OS_WIN)
    const QByteArray dwordZero(4, '\0');
    data->setData(SecretFormat, QByteArray(1, '\0'));
    data->setData(
        QStringLiteral("application/x-qt-windows-mime;value=\"CanIncludeInClipboardHistory\""),
        dwordZero);
    data->setData(
        QStringLiteral("application/x-qt-windows-mime;value=\"CanUploadToCloudClipboard\""),
        dwordZero);
#elif defined(Q_OS_MACOS)
    data->setData(SecretFormat, QByteArray());
#else
    data->setData(SecretFormat, QByteArrayLiteral("secret"));
#endif
    return data;
}

namespace {

bool markedSecret(const QMimeData& data)
{
#if defined(Q_OS_WIN) || defined(Q_OS_MACOS)
    return data.hasFormat(SecretFormat);
#else
    return data.data(SecretFormat) == "secret";
#endif
}

// Notices another program reading this program's X11 clipboard or selection.
class SelectionReads final : public QAbstractNativeEventFilter {
public:
    explicit SelectionReads(QTimer& quiet)
        : m_quiet(quiet)
    {
        QCoreApplication::instance()->installNativeEventFilter(this);
    }
    Q_DISABLE_COPY_MOVE(SelectionReads)
    ~SelectionReads() override { QCoreApplication::instance()->removeNativeEventFilter(this); }

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* /*result*/) override
    {
        // The X11 core protocol's SelectionRequest; the top bit only tells a sent event.
        constexpr std::uint8_t SelectionRequest = 30;
        if (eventType == "xcb_generic_event_t" &&
            (*static_cast<const std::uint8_t*>(message) & 0x7fU) == SelectionRequest) {
            m_quiet.start();
        }
        return false; // Qt still answers it
    }

private:
    QTimer& m_quiet;
};

// What Wayland clients paste, whatever platform Qt runs on: through XWayland the compositor's
// bridge serves them a copy without the secret mark and keeps serving a history's copy after
// the X side was emptied; natively a program not in use can no longer change the clipboard.
// The compositor's data-control reaches it without a window. Its news reach Qt's thread
// through `changed` and `read`. No clipboard when there is none, and on platforms whose
// clipboard lives inside this process.
struct WaylandSide {
    std::unique_ptr<WaylandClipboard> clipboard;
    std::function<void(WaylandClipboard::Board, bool filled)> changed;
    std::function<void()> read;
    // The password just put on the X11 clipboard, until the bridge has offered it to Wayland
    // clients; it is then offered again from here, marked.
    QString unmarked;
};

void offerMarked(WaylandSide& side, WaylandClipboard::Board board, bool filled);

WaylandSide& waylandSide()
{
    static WaylandSide side;
    static const bool connected = [] {
        if (!platformTracksOwnership() || qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
            return false;
        }
        side.clipboard = WaylandClipboard::connect();
        if (side.clipboard == nullptr) {
            return false;
        }
        QCoreApplication* application = QCoreApplication::instance();
        side.clipboard->onChanged = [application](WaylandClipboard::Board board, bool filled) {
            QMetaObject::invokeMethod(
                application,
                [board, filled] {
                    offerMarked(side, board, filled);
                    if (side.changed) {
                        side.changed(board, filled);
                    }
                },
                Qt::QueuedConnection);
        };
        side.clipboard->onRead = [application](WaylandClipboard::Board /*board*/) {
            QMetaObject::invokeMethod(
                application,
                [] {
                    if (side.read) {
                        side.read();
                    }
                },
                Qt::QueuedConnection);
        };
        // What it serves goes when the program ends, as on X11; its thread stops first.
        QObject::connect(application, &QCoreApplication::aboutToQuit, application, [] {
            side.clipboard.reset();
            side.unmarked.fill(u'\0');
            side.unmarked.clear();
        });
        return true;
    }();
    static_cast<void>(connected);
    return side;
}

WaylandClipboard* waylandClipboard() { return waylandSide().clipboard.get(); }

void waylandPut(WaylandClipboard& wayland, WaylandClipboard::Board board, const QString& text,
                bool secret);

void offerMarked(WaylandSide& side, WaylandClipboard::Board board, bool filled)
{
    if (side.unmarked.isEmpty() || board != WaylandClipboard::Board::Clipboard || !filled ||
        side.clipboard == nullptr) {
        return;
    }
    // Still this program's X11 clipboard: what Wayland clients got is the bridge's copy of it.
    if (QGuiApplication::clipboard()->ownsClipboard() && !side.clipboard->offersSecretMark(board)) {
        waylandPut(*side.clipboard, board, side.unmarked, true);
    }
    side.unmarked.fill(u'\0');
    side.unmarked.clear();
}

WaylandClipboard::Board boardOf(ClipboardMode mode)
{
    return mode == ClipboardMode::Selection ? WaylandClipboard::Board::Primary
                                            : WaylandClipboard::Board::Clipboard;
}

// A board that the Wayland side has, for this mode.
WaylandClipboard* waylandBoard(ClipboardMode mode)
{
    WaylandClipboard* wayland = waylandClipboard();
    return wayland != nullptr && wayland->hasBoard(boardOf(mode)) ? wayland : nullptr;
}

// What Wayland clients would paste now. This program may be the one serving it (through the
// bridge, or natively), so its own events go on while it waits.
QString waylandText(WaylandClipboard& wayland, ClipboardMode mode, bool* secret = nullptr)
{
    constexpr int MostMs = 1000;
    WaylandClipboard::Content content = wayland.read(
        boardOf(mode), [] { QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents); },
        MostMs);
    const QString text = QString::fromUtf8(content.text);
    derivation::Wipe(content.text);
    if (secret != nullptr) {
        *secret = content.secret;
    }
    return text;
}

void waylandPut(WaylandClipboard& wayland, WaylandClipboard::Board board, const QString& text,
                bool secret)
{
    QByteArray bytes = text.toUtf8();
    WaylandClipboard::Content content{
        std::string(bytes.constData(), static_cast<std::size_t>(bytes.size())), secret};
    bytes.fill('\0');
    wayland.set(board, content);
    derivation::Wipe(content.text);
}

} // namespace

void QtClipboard::clear(ClipboardMode mode)
{
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (exists(*clipboard, mode)) {
        clipboard->clear(toQt(mode));
        m_touched.at(indexOf(toQt(mode))) = Touch::Emptied;
    }
    if (WaylandClipboard* wayland = waylandBoard(mode); wayland != nullptr && waylandHeld(mode)) {
        wayland->clear(boardOf(mode));
        m_touched.at(indexOf(toQt(mode))) = Touch::Emptied;
    }
}

void QtClipboard::setText(const Text& text)
{
    copySecret(toQString(text));
    m_touched.at(indexOf(QClipboard::Clipboard)) = Touch::None;
}

bool QtClipboard::holds(const Text& text, ClipboardMode mode) const
{
    const QString password = toQString(text);
    QString held;
    const bool qtSide = qtHolds(password, mode, held);
    bool& waylandHolds = m_waylandHeld.at(indexOf(toQt(mode)));
    waylandHolds = false;
    if (WaylandClipboard* wayland = waylandBoard(mode); wayland != nullptr) {
        // The same rules for what Wayland clients paste; a part is ours when it is what the
        // side this program owns holds.
        const QString pasted = waylandText(*wayland, mode);
        waylandHolds = !pasted.isEmpty() && (pasted == password || (qtSide && pasted == held));
    }
    return qtSide || waylandHolds;
}

bool QtClipboard::waylandHeld(ClipboardMode mode) const
{
    return m_waylandHeld.at(indexOf(toQt(mode)));
}

bool QtClipboard::qtHolds(const QString& password, ClipboardMode mode, QString& held)
{
    const QClipboard* clipboard = QGuiApplication::clipboard();
    if (!exists(*clipboard, mode)) {
        return false;
    }
    const QClipboard::Mode qtMode = toQt(mode);
    held = clipboard->text(qtMode);
    if (held.isEmpty()) {
        return false;
    }
    // Whoever holds it now, the password is the password: a clipboard manager takes it over.
    if (held == password) {
        return true;
    }
    // A part counts only while it is ours: selecting or copying some of the shown password
    // leaves just that part, but another program's text may be a part of it by chance.
    const bool owned =
        qtMode == QClipboard::Clipboard ? clipboard->ownsClipboard() : clipboard->ownsSelection();
    return (owned || !platformTracksOwnership()) && password.contains(held);
}

ClipboardText QtClipboard::text(ClipboardMode mode) const
{
    const QClipboard* clipboard = QGuiApplication::clipboard();
    if (!exists(*clipboard, mode)) {
        return {};
    }
    const QMimeData* data = clipboard->mimeData(toQt(mode));
    if (data != nullptr && data->hasText() && !data->text().isEmpty()) {
        return {toText(data->text()), markedSecret(*data)};
    }
    // Natively Qt sees no clipboard while none of its windows has the keyboard.
    if (WaylandClipboard* wayland = waylandBoard(mode); wayland != nullptr) {
        bool secret = false;
        const QString pasted = waylandText(*wayland, mode, &secret);
        return {toText(pasted), secret};
    }
    return {};
}

void QtClipboard::putBack(const ClipboardText& content, ClipboardMode mode)
{
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (exists(*clipboard, mode)) {
        const QString text = toQString(content.text);
        clipboard->setMimeData((content.secret ? secretText(text) : plainText(text)).release(),
                               toQt(mode));
        m_touched.at(indexOf(toQt(mode))) = Touch::Filled;
    }
    if (WaylandClipboard* wayland = waylandBoard(mode); wayland != nullptr && waylandHeld(mode)) {
        waylandPut(*wayland, boardOf(mode), toQString(content.text), content.secret);
        m_touched.at(indexOf(toQt(mode))) = Touch::Filled;
    }
}

// Natively on Wayland a program may change the clipboard only while it has the keyboard, so
// an answer must be seen before the windows go: Weston's own clipboard refills an emptied one
// in the same breath. Elsewhere the clipboard can be changed without a window, and any answer
// is heard in the wait that follows, out of sight.
bool QtClipboard::answeredAtOnce()
{
    if (!QGuiApplication::platformName().startsWith(u"wayland")) {
        return false;
    }
    constexpr int MostMs = 60;
    bool answered = false;
    QEventLoop loop;
    QTimer::singleShot(MostMs, &loop, &QEventLoop::quit);
    QClipboard* clipboard = QGuiApplication::clipboard();
    QObject::connect(clipboard, &QClipboard::changed, &loop, [&](QClipboard::Mode mode) {
        const QMimeData* data = clipboard->mimeData(mode);
        if (mode == QClipboard::Clipboard && !clipboard->ownsClipboard() && data != nullptr &&
            !data->formats().isEmpty()) {
            answered = true;
            loop.quit();
        }
    });
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    return answered;
}

// Clipboard managers fetch a new content up to half a second late (some poll), and refill an
// emptied clipboard about as late; xfce4-clipman refills the selection later than the
// clipboard. A read is followed by more (the formats, then the text), so only a short quiet
// after one counts as read.
void QtClipboard::wait()
{
    const std::array<Touch, 2> touched = m_touched;
    m_touched.fill(Touch::None);
    if (!platformTracksOwnership()) {
        return; // the clipboard lives in this process: nobody else can act on it
    }
    std::array<bool, 2> answered{touched[0] == Touch::None, touched[1] == Touch::None};
    constexpr int MostMs = 1000;
    constexpr int QuietMs = 150;
    QEventLoop loop;
    const auto answer = [&loop, &answered](std::size_t index) {
        answered.at(index) = true;
        if (answered[0] && answered[1]) {
            loop.quit();
        }
    };
    QTimer most;
    most.setSingleShot(true);
    QObject::connect(&most, &QTimer::timeout, &loop, &QEventLoop::quit);
    QTimer quiet;
    quiet.setSingleShot(true);
    quiet.setInterval(QuietMs);
    QObject::connect(&quiet, &QTimer::timeout, &loop, [&answer, touched] {
        for (std::size_t i = 0; i < touched.size(); ++i) {
            if (touched.at(i) == Touch::Filled) {
                answer(i);
            }
        }
    });
    // Only another program taking it over counts: emptying it was this program's own doing.
    QClipboard* clipboard = QGuiApplication::clipboard();
    QObject::connect(clipboard, &QClipboard::changed, &loop, [&answer, clipboard](auto mode) {
        const bool owned =
            mode == QClipboard::Clipboard ? clipboard->ownsClipboard() : clipboard->ownsSelection();
        const QMimeData* data = clipboard->mimeData(mode);
        if (mode != QClipboard::FindBuffer && !owned && data != nullptr &&
            !data->formats().isEmpty()) {
            answer(indexOf(mode));
        }
    });
    const SelectionReads reads(quiet);
    // The same answers from Wayland clients: a history refilling or taking over, or reading.
    WaylandSide& wayland = waylandSide();
    wayland.changed = [&answer](WaylandClipboard::Board board, bool filled) {
        if (filled) {
            answer(board == WaylandClipboard::Board::Primary ? 1 : 0);
        }
    };
    wayland.read = [&quiet] { quiet.start(); };
    most.start(MostMs);
    if (!answered[0] || !answered[1]) {
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    }
    wayland.changed = nullptr;
    wayland.read = nullptr;
}

void QtClipboard::copySecret(const QString& text)
{
    // Through XWayland the bridge gives Wayland clients the text without its mark: once it
    // has, they get it from here instead, marked (natively Qt offers the mark itself).
    WaylandSide& side = waylandSide();
    side.unmarked.fill(u'\0');
    side.unmarked.clear();
    if (side.clipboard != nullptr && !QGuiApplication::platformName().startsWith(u"wayland")) {
        side.unmarked = text;
    }
    QGuiApplication::clipboard()->setMimeData(secretText(text).release(), QClipboard::Clipboard);
}

void QtClipboard::remarkPartOf(const QString& shown, QClipboard::Mode mode)
{
    QClipboard* clipboard = QGuiApplication::clipboard();
    const QMimeData* held = clipboard->mimeData(mode);
    if (held == nullptr || !held->hasText() || held->text().isEmpty() ||
        !shown.contains(held->text())) {
        return;
    }
    clipboard->setMimeData(secretText(held->text()).release(), mode);
}

} // namespace tessivo::forms
