#include "qt_clipboard.h"

#include "secret.h"
#include "wayland_clipboard.h"

#include <QAbstractNativeEventFilter>
#include <QCoreApplication>
#include <QEventLoop>
#include <QGuiApplication>
#include <QMimeData>
#include <QTimer>

#include <cstdint>
#include <utility>

namespace tessivo::clipboard {

namespace {

QClipboard::Mode toQt(Board board)
{
    return board == Board::Selection ? QClipboard::Selection : QClipboard::Clipboard;
}

Board boardOf(QClipboard::Mode mode)
{
    return mode == QClipboard::Selection ? Board::Selection : Board::Clipboard;
}

// Only X11 has a selection beside the clipboard; elsewhere there is nothing to hold or clear.
bool exists(const QClipboard& clipboard, Board board)
{
    return board == Board::Clipboard || clipboard.supportsSelection();
}

// Platforms whose clipboard tells who owns it. Elsewhere (offscreen, minimal) the clipboard
// lives inside this process, so its content is all there is to compare.
bool platformTracksOwnership()
{
    const QString platform = QGuiApplication::platformName();
    return platform != u"offscreen" && platform != u"minimal";
}

bool onWaylandPlatform() { return QGuiApplication::platformName().startsWith(u"wayland"); }

bool owns(const QClipboard& clipboard, QClipboard::Mode mode)
{
    return mode == QClipboard::Clipboard ? clipboard.ownsClipboard() : clipboard.ownsSelection();
}

void forget(QString& secret)
{
    secret.fill(u'\0');
    secret.clear();
}

// The formats that ask clipboard histories and sync services to keep a text out.
#if defined(Q_OS_WIN)
const QString SecretFormat = QStringLiteral(
    "application/x-qt-windows-mime;value=\"ExcludeClipboardContentFromMonitorProcessing\"");
#elif defined(Q_OS_MACOS)
const QString SecretFormat = QStringLiteral("application/x-nspasteboard-concealed-type");
#else
const QString SecretFormat =
    QString::fromLatin1(SecretMarkFormat.data(), static_cast<qsizetype>(SecretMarkFormat.size()));
const QByteArray SecretValue(SecretMarkValue.data(),
                             static_cast<qsizetype>(SecretMarkValue.size()));
#endif

std::unique_ptr<QMimeData> plainText(const QString& text)
{
    auto data = std::make_unique<QMimeData>();
    data->setText(text);
    return data;
}

// `text` as clipboard data marked secret, so that clipboard histories and sync services that
// honour the mark keep it out. Every copy of a password goes through here.
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
    data->setData(SecretFormat, SecretValue);
#endif
    return data;
}

bool markedSecret(const QMimeData& data)
{
#if defined(Q_OS_WIN) || defined(Q_OS_MACOS)
    return data.hasFormat(SecretFormat);
#else
    return data.data(SecretFormat) == SecretValue;
#endif
}

// Other programs' answers to what this program last did to each board, waited for in an event
// loop of its own. Clipboard managers fetch a new content up to half a second late (some poll),
// and refill an emptied clipboard about as late; xfce4-clipman refills the selection later than
// the clipboard. A read is followed by more (the formats, then the text), so only a short quiet
// after one counts as read.
class Answers final : public QAbstractNativeEventFilter {
public:
    // `answered`: boards nobody needs to answer; `filled`: those a read answers.
    Answers(const std::array<bool, 2>& answered, const std::array<bool, 2>& filled)
        : m_answered(answered)
        , m_filled(filled)
    {
        constexpr int QuietMs = 150;
        m_quiet.setSingleShot(true);
        m_quiet.setInterval(QuietMs);
        QObject::connect(&m_quiet, &QTimer::timeout, &m_loop, [this] {
            for (const Board board : Boards) {
                if (m_filled.at(IndexOf(board))) {
                    answer(board);
                }
            }
        });
        // Only another program taking it over counts: emptying it was this program's own doing.
        QClipboard* clipboard = QGuiApplication::clipboard();
        QObject::connect(clipboard, &QClipboard::changed, &m_loop, [this, clipboard](auto mode) {
            const QMimeData* data = clipboard->mimeData(mode);
            if (mode != QClipboard::FindBuffer && !owns(*clipboard, mode) && data != nullptr &&
                !data->formats().isEmpty()) {
                answer(boardOf(mode));
            }
        });
        QCoreApplication::instance()->installNativeEventFilter(this);
    }
    Q_DISABLE_COPY_MOVE(Answers)
    ~Answers() override { QCoreApplication::instance()->removeNativeEventFilter(this); }

    // Another program reading this program's X11 clipboard or selection.
    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* /*result*/) override
    {
        // The X11 core protocol's SelectionRequest; the top bit only tells a sent event.
        constexpr std::uint8_t SelectionRequest = 30;
        if (eventType == "xcb_generic_event_t" &&
            (*static_cast<const std::uint8_t*>(message) & 0x7fU) == SelectionRequest) {
            read();
        }
        return false; // Qt still answers it
    }

    // Another program took the board over, or refilled it.
    void answer(Board board)
    {
        m_answered.at(IndexOf(board)) = true;
        if (m_answered[0] && m_answered[1]) {
            m_loop.quit();
        }
    }
    // Another program read a board.
    void read() { m_quiet.start(); }

    // Waits at most `mostMs`, over early once every board has been answered.
    void wait(int mostMs)
    {
        if (m_answered[0] && m_answered[1]) {
            return;
        }
        QTimer::singleShot(mostMs, &m_loop, &QEventLoop::quit);
        m_loop.exec(QEventLoop::ExcludeUserInputEvents);
    }

private:
    QEventLoop m_loop;
    QTimer m_quiet;
    std::array<bool, 2> m_answered;
    std::array<bool, 2> m_filled;
};

// Whether Qt's own clipboard holds the password as `Clipboard::holds` says; `held` is what it
// holds.
bool qtHolds(const QString& password, Board board, QString& held)
{
    const QClipboard* clipboard = QGuiApplication::clipboard();
    if (!exists(*clipboard, board)) {
        return false;
    }
    held = clipboard->text(toQt(board));
    if (held.isEmpty()) {
        return false;
    }
    // Whoever holds it now, the password is the password: a clipboard manager takes it over.
    if (held == password) {
        return true;
    }
    // A part counts only while it is ours: selecting or copying some of the shown password
    // leaves just that part, but another program's text may be a part of it by chance.
    return (owns(*clipboard, toQt(board)) || !platformTracksOwnership()) && password.contains(held);
}

// What Wayland clients would paste now. This program may be the one serving it (through the
// bridge, or natively), so its own events go on while it waits.
ClipboardText waylandText(WaylandClipboard& wayland, Board board)
{
    constexpr int MostMs = 1000;
    WaylandClipboard::Content content = wayland.read(
        board, [] { QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents); }, MostMs);
    ClipboardText text{QString::fromUtf8(content.text).toStdU32String(), content.secret};
    derivation::Wipe(content.text);
    return text;
}

void waylandPut(WaylandClipboard& wayland, Board board, const QString& text, bool secret)
{
    QByteArray bytes = text.toUtf8();
    WaylandClipboard::Content content{
        std::string(bytes.constData(), static_cast<std::size_t>(bytes.size())), secret};
    bytes.fill('\0');
    wayland.set(board, content);
    derivation::Wipe(content.text);
}

} // namespace

// What Wayland clients paste, whatever platform Qt runs on: through XWayland the compositor's
// bridge serves them a copy without the secret mark and keeps serving a history's copy after
// the X side was emptied; natively a program not in use can no longer change the clipboard.
// The compositor's data-control reaches it without a window. Its news reach Qt's thread
// through `changed` and `read`. No clipboard when there is none, and on platforms whose
// clipboard lives inside this process.
struct QtClipboard::WaylandSide {
    WaylandSide();
    Q_DISABLE_COPY_MOVE(WaylandSide)
    // The thread stops first.
    ~WaylandSide()
    {
        clipboard.reset();
        forget(unmarked);
    }

    // The bridge has offered Wayland clients the password `unmarked`: offers it again, marked.
    void offerMarked(Board board, bool filled);

    QObject context; // news on their way to Qt's thread go with it
    std::unique_ptr<WaylandClipboard> clipboard;
    Answers* listening = nullptr;           // while `wait` waits
    std::function<void()> changedElsewhere; // another program changed a board

    // The password just put on the X11 clipboard, until the bridge has offered it to Wayland
    // clients.
    QString unmarked;
};

QtClipboard::WaylandSide::WaylandSide()
{
    if (!platformTracksOwnership() || qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
        return;
    }
    // The same answers as from X11 clients: a history refilling or taking over, or reading.
    WaylandClipboard::Events events;
    events.changed = [this](Board board, bool filled) {
        QMetaObject::invokeMethod(
            &context,
            [this, board, filled] {
                offerMarked(board, filled);
                if (listening != nullptr && filled) {
                    listening->answer(board);
                }
                if (changedElsewhere) {
                    changedElsewhere();
                }
            },
            Qt::QueuedConnection);
    };
    events.read = [this](Board /*board*/) {
        QMetaObject::invokeMethod(
            &context,
            [this] {
                if (listening != nullptr) {
                    listening->read();
                }
            },
            Qt::QueuedConnection);
    };
    clipboard = WaylandClipboard::connect(std::move(events));
}

void QtClipboard::WaylandSide::offerMarked(Board board, bool filled)
{
    if (unmarked.isEmpty() || board != Board::Clipboard || !filled || clipboard == nullptr) {
        return;
    }
    // Still this program's X11 clipboard: what Wayland clients got is the bridge's copy of it.
    if (QGuiApplication::clipboard()->ownsClipboard() && !clipboard->offersSecretMark(board)) {
        waylandPut(*clipboard, board, unmarked, true);
    }
    forget(unmarked);
}

QtClipboard::QtClipboard(User user)
    : m_user(user)
{
}

QtClipboard::~QtClipboard() = default;

QtClipboard::WaylandSide& QtClipboard::wayland() const
{
    if (m_wayland == nullptr) {
        m_wayland = std::make_unique<WaylandSide>();
    }
    return *m_wayland;
}

WaylandClipboard* QtClipboard::waylandBoard(Board board) const
{
    WaylandClipboard* wayland = this->wayland().clipboard.get();
    return wayland != nullptr && wayland->hasBoard(board) ? wayland : nullptr;
}

void QtClipboard::clear(Board board)
{
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (exists(*clipboard, board) && !servedOnWaylandAlone(board)) {
        clipboard->clear(toQt(board));
        m_touched.at(IndexOf(board)) = Touch::Emptied;
    }
    if (WaylandClipboard* wayland = waylandBoard(board);
        wayland != nullptr && m_waylandHeld.at(IndexOf(board))) {
        wayland->clear(board);
        m_touched.at(IndexOf(board)) = Touch::Emptied;
    }
}

void QtClipboard::setText(const Text& text)
{
    copySecret(QString::fromStdU32String(text));
    m_touched.at(IndexOf(Board::Clipboard)) = Touch::None;
}

bool QtClipboard::holds(const Text& text, Board board) const
{
    QString held;
    // Made only to compare: overwritten before it is freed, so that a holder waiting with the
    // password keeps no second copy of it.
    QString password = QString::fromStdU32String(text);
    const bool qtSide = qtHolds(password, board, held);
    forget(password);
    bool& waylandHolds = m_waylandHeld.at(IndexOf(board));
    waylandHolds = false;
    if (WaylandClipboard* wayland = waylandBoard(board); wayland != nullptr) {
        // The same rules for what Wayland clients paste; a part is ours when it is what the
        // side this program owns holds.
        const Text pasted = waylandText(*wayland, board).text;
        waylandHolds =
            !pasted.empty() && (pasted == text || (qtSide && pasted == held.toStdU32String()));
    }
    return qtSide || waylandHolds;
}

ClipboardText QtClipboard::text(Board board) const
{
    const QClipboard* clipboard = QGuiApplication::clipboard();
    if (!exists(*clipboard, board)) {
        return {};
    }
    const QMimeData* data = clipboard->mimeData(toQt(board));
    if (data != nullptr && data->hasText() && !data->text().isEmpty()) {
        return {data->text().toStdU32String(), markedSecret(*data)};
    }
    // Natively Qt sees no clipboard while none of its windows has the keyboard.
    WaylandClipboard* wayland = waylandBoard(board);
    return wayland != nullptr ? waylandText(*wayland, board) : ClipboardText{};
}

void QtClipboard::putBack(const ClipboardText& content, Board board)
{
    QClipboard* clipboard = QGuiApplication::clipboard();
    const QString text = QString::fromStdU32String(content.text);
    if (exists(*clipboard, board) && !servedOnWaylandAlone(board)) {
        clipboard->setMimeData((content.secret ? secretText(text) : plainText(text)).release(),
                               toQt(board));
        m_touched.at(IndexOf(board)) = Touch::Filled;
    }
    if (WaylandClipboard* wayland = waylandBoard(board);
        wayland != nullptr && m_waylandHeld.at(IndexOf(board))) {
        waylandPut(*wayland, board, text, content.secret);
        m_touched.at(IndexOf(board)) = Touch::Filled;
    }
}

// Natively on Wayland a program may change the clipboard only while it has the keyboard, so
// an answer must be seen before the windows go: Weston's own clipboard refills an emptied one
// in the same breath. Elsewhere the clipboard can be changed without a window, and any answer
// is heard in the wait that follows, out of sight.
bool QtClipboard::answeredAtOnce()
{
    if (!onWaylandPlatform()) {
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

void QtClipboard::wait()
{
    const std::array<Touch, 2> touched = std::exchange(m_touched, {Touch::None, Touch::None});
    if (!platformTracksOwnership()) {
        return; // the clipboard lives in this process: nobody else can act on it
    }
    Answers answers({touched[0] == Touch::None, touched[1] == Touch::None},
                    {touched[0] == Touch::Filled, touched[1] == Touch::Filled});
    constexpr int MostMs = 1000;
    wayland().listening = &answers;
    answers.wait(MostMs);
    wayland().listening = nullptr;
}

void QtClipboard::copySecret(const QString& text)
{
    WaylandSide& side = wayland();
    forget(side.unmarked);
    if (servedOnWaylandAlone(Board::Clipboard)) {
        waylandPut(*side.clipboard, Board::Clipboard, text, true);
        m_waylandHeld.at(IndexOf(Board::Clipboard)) = true;
        return;
    }
    // Through XWayland the bridge gives Wayland clients the text without its mark: once it
    // has, they get it from here instead, marked (natively Qt offers the mark itself).
    if (side.clipboard != nullptr && !onWaylandPlatform()) {
        side.unmarked = text;
    }
    QGuiApplication::clipboard()->setMimeData(secretText(text).release(), QClipboard::Clipboard);
}

// Through XWayland the compositor passes the X11 clipboard on to Wayland clients only while an
// X window is in front, which a program without windows cannot count on; the other way, it
// passes the Wayland clipboard on to X clients always. So such a program serves the clipboard
// on the Wayland side alone, where data-control lets it: serving both, the compositor's bridge
// racing it can leave an offer nobody can read.
bool QtClipboard::servedOnWaylandAlone(Board board) const
{
    if (m_user != User::Windowless || board != Board::Clipboard || onWaylandPlatform()) {
        return false;
    }
    const WaylandClipboard* wayland = this->wayland().clipboard.get();
    return wayland != nullptr && wayland->hasBoard(board);
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

bool QtClipboard::servesOwn(Board board) const
{
    const QClipboard* clipboard = QGuiApplication::clipboard();
    if (exists(*clipboard, board) && owns(*clipboard, toQt(board))) {
        return true;
    }
    const WaylandClipboard* wayland = waylandBoard(board);
    return wayland != nullptr && wayland->servesOwn(board);
}

void QtClipboard::whenServingEnds(std::function<void()> ended)
{
    WaylandSide& side = wayland();
    // A Wayland client's copy ends it whatever the X side does: the compositor's bridge may
    // take the X clipboard over for it, as it does for what this program serves there.
    side.changedElsewhere = ended;
    QObject::disconnect(QGuiApplication::clipboard(), &QClipboard::changed, &side.context, nullptr);
    QObject::connect(QGuiApplication::clipboard(), &QClipboard::changed, &side.context,
                     [this, ended](QClipboard::Mode mode) {
                         if (mode == QClipboard::Clipboard && !servesOwn(Board::Clipboard)) {
                             ended();
                         }
                     });
    if (!servesOwn(Board::Clipboard)) {
        ended();
    }
}

bool WaylandClipboardOutOfReach()
{
    if (qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
        return false; // as the Wayland side itself: only a session that says so is one
    }
    const WaylandClipboard::Session session = WaylandClipboard::askSession();
    return session.answers && !session.dataControl;
}

void ChoosePlatform(PlatformUse use)
{
    // Where an X server answers (DISPLAY is set), X11 is the platform: there the window
    // manager draws the title bar from the window's hints, without a maximise box, and the
    // clipboard rules are those of X11, with the Wayland side reached through data-control
    // (`WaylandSide`). Weston offers no data-control, and its own clipboard keeps
    // serving Wayland clients the password, unmarked, after END has emptied the X side: there
    // the windows run natively, where Qt offers the mark and empties the Wayland clipboard
    // itself. A platform the user picked is left alone.
    if (qEnvironmentVariableIsSet("QT_QPA_PLATFORM") || qEnvironmentVariableIsEmpty("DISPLAY")) {
        return;
    }
    const bool weston = use == PlatformUse::Windows &&
                        !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
                        WaylandClipboard::askSession().weston;
    qputenv("QT_QPA_PLATFORM", weston ? "wayland;xcb" : "xcb;wayland");
}

} // namespace tessivo::clipboard
