#include "holder_channel.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>

#include <csignal>
#include <fcntl.h>
#include <linux/capability.h>
#include <poll.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

using namespace Qt::Literals::StringLiterals;

namespace {

constexpr const char* Cli = TESSIVO_CLI;

struct Result {
    int status = -1;
    QByteArray out;
    QByteArray err;
};

Result run(const QString& program, const QStringList& arguments, const QByteArray& input)
{
    QProcess process;
    process.start(program, arguments);
    process.write(input);
    process.closeWriteChannel();
    process.waitForFinished(10000);
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            process.readAllStandardOutput(), process.readAllStandardError()};
}

// Closes a descriptor however the test ends.
struct Fd {
    int fd = -1;
    ~Fd()
    {
        if (fd >= 0) {
            close(fd);
        }
    }
};

// What arrives on `fd` until `enough` says so or `ms` milliseconds pass.
template <typename Enough> QByteArray readFor(int fd, int ms, Enough enough)
{
    QByteArray data;
    char chunk[256];
    pollfd wanted{fd, POLLIN, 0};
    while (!enough(data) && poll(&wanted, 1, ms) > 0) {
        const ssize_t got = read(fd, chunk, sizeof chunk);
        if (got <= 0) {
            break;
        }
        data.append(chunk, got);
    }
    return data;
}

// Ends the program however the test ends, unless the test has seen it end.
struct Child {
    pid_t pid = -1;
    ~Child()
    {
        if (pid > 0) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
    }
};

// Keeps root's user id but none of its powers, for this process and what it runs: the kernel
// then lets it into another process's memory as it would any user's program.
void dropCapabilities()
{
    for (int capability = 0; prctl(PR_CAPBSET_READ, capability) >= 0; ++capability) {
        prctl(PR_CAPBSET_DROP, capability);
    }
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct none[2]{};
    syscall(SYS_capset, &header, none);
}

// Whether a program of the same user may read the memory of `pid`: /proc/PID/environ is
// guarded like /proc/PID/mem, and opens only for a dumpable process.
bool memoryReadable(pid_t pid)
{
    const QByteArray path = "/proc/" + QByteArray::number(pid) + "/environ";
    const pid_t reader = fork();
    if (reader == 0) {
        dropCapabilities();
        _exit(open(path.constData(), O_RDONLY) >= 0 ? 0 : 1);
    }
    int status = 1;
    waitpid(reader, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

bool echoes(int terminal)
{
    termios settings{};
    return tcgetattr(terminal, &settings) == 0 && (settings.c_lflag & ECHO) != 0;
}

} // namespace

class TestCli : public QObject {
    Q_OBJECT

private slots:
    void passwords_data();
    void passwords();
    void refusals_data();
    void refusals();
    void keyTypedOnATerminal_data();
    void keyTypedOnATerminal();
    void holderChannel_data();
    void holderChannel();
};

void TestCli::passwords_data()
{
    // Known passwords, not computed here: a fault shared with the engine must still show.
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QByteArray>("warning"); // why the key is weak; empty: not weak

    const auto row = [](const char* name, QStringList arguments, QByteArray input, QString password,
                        QByteArray warning = {}) {
        QTest::newRow(name) << arguments << input << password << warning;
    };
    const QString google = QStringLiteral("google.it");
    const QString mario = QStringLiteral("mario");
    const QByteArray zeros = "it is made of zeros only";
    row("window's example", {u"-l"_s, u"14"_s, google, mario}, "Ab3$\n", u"rmiego0rmiego0"_s);
    row("number mode, options after the operands", {google, mario, u"--number"_s, u"--length=14"_s},
        "Ab3$\n", u"41091051011031"_s);
    row("-- before names that start with a dash, CRLF line",
        {u"-nl8"_s, u"--"_s, u"-x"_s, u"--y"_s}, "k!}\r\nignored\n", u"000000"_s, zeros);
    row("Windows-1252 letters", {u"-n"_s, u"--length"_s, u"12"_s, u"café€"_s, u"José"_s}, "Zz9\n",
        u"511174128233"_s, "it spells out the site and user name backwards");
    row("letters outside Windows-1252", {u"-l"_s, u"10"_s, u"дом.рф"_s, u"пётр"_s}, "Ab3$\n",
        u"0000000000"_s, zeros);
    row("beyond U+FFFF, in digits", {u"-n"_s, u"-l"_s, u"9"_s, u"🔑mail"_s, u"ö"_s}, "Ab3$\n",
        u"510901051"_s);
    row("beyond U+FFFF, in letters", {u"-l"_s, u"6"_s, u"a🔑b😀c"_s, QString()}, "xyz\n",
        u"ba😀🔑0b"_s);
    row("user only, key without line end", {u"-l"_s, u" 07 "_s, QString(), mario}, "Ab3$",
        u"0000000"_s, zeros);
    // Summed as nothing, the empty key would give zeros here.
    row("empty line is the key 0", {u"-l"_s, u"14"_s, google, mario}, "\n", u"ergmoi0ergmoi0"_s);
    row("weak key: names in order", {u"-l"_s, u"14"_s, google, mario}, "123456\n",
        u"google.itmari0"_s, "it spells out the site and user name in order");
    row("weak key: names backwards", {u"-l"_s, u"14"_s, google, mario}, "12345&\n",
        u"iramti.elgoog0"_s, "it spells out the site and user name backwards");
    row("19 characters each, six-character key",
        {u"-l"_s, u"14"_s, u"èèèèèèèèèèèèèèèèèèè"_s, u"1234567890123456789"_s}, "!}AbZ9\n",
        u"è57è35è13èè1èè"_s);
}

void TestCli::passwords()
{
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, input);
    QFETCH(QString, password);
    QFETCH(QByteArray, warning);

    const Result result = run(QString::fromUtf8(Cli), arguments, input);
    QCOMPARE(result.status, 0);
    QCOMPARE(QString::fromUtf8(result.out), password + u'\n');
    // Standard error stays quiet unless the key is weak, and then says why.
    if (warning.isEmpty()) {
        QCOMPARE(result.err, QByteArray());
    } else {
        QVERIFY2(result.err.contains(QByteArray(": " + warning + ". ")), result.err.constData());
    }
}

void TestCli::refusals_data()
{
    // Arguments as shell words, so that bytes no UTF-8 text holds can be passed.
    QTest::addColumn<QString>("arguments");
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<int>("status");

    const auto row = [](const char* name, const char* arguments, QByteArray input, int status) {
        QTest::newRow(name) << QString::fromUtf8(arguments) << input << status;
    };
    row("site and user both empty", "-l 8 '' ''", "k\n", 2);
    row("length 0", "-l 0 a b", "k\n", 2);
    row("length 15", "-l 15 a b", "k\n", 2);
    row("length not a number", "-l 1.5 a b", "k\n", 2);
    row("no length", "a b", "k\n", 2);
    row("length without value", "a b -l", "k\n", 2);
    row("one name", "-l 8 a", "k\n", 2);
    row("three names", "-l 8 a b c", "k\n", 2);
    row("unknown short option", "-k Ab3 -l 8 a b", "k\n", 2);
    row("the key is no option", "--key=Ab3 -l 8 a b", "k\n", 2);
    row("a known option given a value", "--number=Ab3 -l 8 a b", "k\n", 2);
    // Each UTF-8 form the standard rules out, at the edges of its range.
    row("overlong UTF-8, two bytes", "-l 8 \"$(printf 'a\\300\\257')\" b", "k\n", 2);
    row("overlong UTF-8, two bytes for U+007F", "-l 8 \"$(printf '\\301\\277')\" b", "k\n", 2);
    row("overlong UTF-8, three bytes", "-l 8 \"$(printf '\\340\\200\\257')\" b", "k\n", 2);
    row("overlong UTF-8, three bytes for U+07FF", "-l 8 \"$(printf '\\340\\237\\277')\" b", "k\n",
        2);
    row("overlong UTF-8, four bytes for U+FFFF", "-l 8 \"$(printf '\\360\\217\\277\\277')\" b",
        "k\n", 2);
    row("surrogate in UTF-8", "-l 8 a \"$(printf '\\355\\240\\200')\"", "k\n", 2);
    row("last surrogate in UTF-8", "-l 8 a \"$(printf '\\355\\277\\277')\"", "k\n", 2);
    row("above U+10FFFF", "-l 8 \"$(printf '\\364\\220\\200\\200')\" b", "k\n", 2);
    row("above U+10FFFF, lead byte F5", "-l 8 \"$(printf '\\365\\200\\200\\200')\" b", "k\n", 2);
    row("sequence cut short", "-l 8 \"$(printf 'ab\\342\\202')\" b", "k\n", 2);
    row("site of 20 characters", "-l 8 12345678901234567890 b", "k\n", 2);
    row("user of 20 UTF-16 units", "-l 8 a 123456789012345678🔑", "k\n", 2);
    row("space in the key", "-l 8 a b", "Ab 3\n", 2);
    row("tilde in the key", "-l 8 a b", "~\n", 2);
    row("accented key", "-l 8 a b", "\xc3\xa8\n", 2);
    row("seven-character key", "-l 8 a b", "1234567\n", 2);
    row("no line on standard input", "-l 8 a b", "", 2);
    row("--clear-after 0", "--clip --clear-after 0 -l 8 a b", "k\n", 2);
    row("--clear-after beyond an hour", "-c --clear-after=3601 -l 8 a b", "k\n", 2);
    row("--clear-after not a number", "--clip --clear-after x -l 8 a b", "k\n", 2);
    row("--clear-after without a value", "-c -l 8 a b --clear-after", "k\n", 2);
    row("--clear-after without --clip", "--clear-after 45 -l 8 a b", "k\n", 2);
    row("Number mode without digits", "-n -l 2 x ''", "k\n", 1);
    row("the key cannot be read (a directory)", "-l 8 a b </", "", 1);
}

void TestCli::refusals()
{
    QFETCH(QString, arguments);
    QFETCH(QByteArray, input);
    QFETCH(int, status);

    const QString script = u"exec \"$0\" "_s + arguments;
    const Result result = run(u"/bin/sh"_s, {u"-c"_s, script, QString::fromUtf8(Cli)}, input);
    QCOMPARE(result.status, status);
    QCOMPARE(result.out, QByteArray());
    QVERIFY2(result.err.startsWith("tessivo-cli: "), result.err.constData());
    // "Ab3" stands for a key typed by mistake as an argument: never repeated.
    QVERIFY2(!result.err.contains("Ab3"), result.err.constData());
}

void TestCli::keyTypedOnATerminal_data()
{
    QTest::addColumn<QByteArray>("typed");
    QTest::addColumn<int>("signal"); // sent after typing; 0: none

    QTest::newRow("Enter") << QByteArray("Ab3$\r") << 0;
    QTest::newRow("Ctrl+C") << QByteArray("Ab\x03") << 0;
    QTest::newRow("hang-up") << QByteArray("Ab") << SIGHUP;
    QTest::newRow("terminated") << QByteArray("Ab") << SIGTERM;
}

void TestCli::keyTypedOnATerminal()
{
    QFETCH(QByteArray, typed);
    QFETCH(int, signal);

    Fd master;
    Fd slave;
    QVERIFY(openpty(&master.fd, &slave.fd, nullptr, nullptr, nullptr) == 0);
    int outPipe[2];
    QVERIFY(pipe(outPipe) == 0);
    Fd out{outPipe[0]};
    Child child{fork()};
    if (child.pid == 0) {
        // The terminal is the program's own, as in a shell: standard output is not.
        setsid();
        ioctl(slave.fd, TIOCSCTTY, 0);
        dup2(slave.fd, STDIN_FILENO);
        dup2(outPipe[1], STDOUT_FILENO);
        dup2(slave.fd, STDERR_FILENO);
        dropCapabilities(); // as a user's program: see memoryReadable()
        execl(Cli, Cli, "-l", "14", "google.it", "mario", nullptr);
        _exit(127);
    }
    close(outPipe[1]);

    QByteArray shown =
        readFor(master.fd, 5000, [](const QByteArray& d) { return d.endsWith("Key: "); });
    QCOMPARE(shown, QByteArray("Key: "));
    QVERIFY2(!echoes(slave.fd), "echo is still on at the prompt");
    // Hardened before it asks: no core file, and its memory closed to other programs.
    QFile limits(u"/proc/%1/limits"_s.arg(child.pid));
    QVERIFY(limits.open(QIODevice::ReadOnly));
    QVERIFY(QString::fromLatin1(limits.readAll())
                .contains(QRegularExpression(u"\nMax core file size +0 +0 "_s)));
    QVERIFY2(!memoryReadable(child.pid), "the program is dumpable");
    QCOMPARE(write(master.fd, typed.constData(), size_t(typed.size())), ssize_t(typed.size()));
    if (signal != 0) {
        readFor(master.fd, 200, [](const QByteArray&) { return false; }); // let it read
        kill(child.pid, signal);
    }
    int wait = 0;
    bool ended = false;
    for (int i = 0; i < 100 && !ended; ++i) {
        ended = waitpid(child.pid, &wait, WNOHANG) == child.pid;
        if (!ended) {
            QTest::qWait(50);
        }
    }
    QVERIFY2(ended, "the program did not end");
    child.pid = -1;
    shown += readFor(master.fd, 100, [](const QByteArray&) { return false; });
    const QByteArray output = readFor(out.fd, 100, [](const QByteArray&) { return false; });

    QVERIFY2(!shown.contains("Ab"), shown.constData());
    QVERIFY2(echoes(slave.fd), "the terminal was left without echo");
    if (typed.endsWith('\r')) {
        QVERIFY(WIFEXITED(wait));
        QCOMPARE(WEXITSTATUS(wait), 0);
        QCOMPARE(output, QByteArray("rmiego0rmiego0\n"));
    } else {
        QVERIFY(WIFSIGNALED(wait));
        QCOMPARE(WTERMSIG(wait), signal != 0 ? signal : SIGINT);
        QCOMPARE(output, QByteArray());
    }
}

// What --clip hands the clipboard holder comes out at the other end as it went in; a message
// the command line could not have sent is refused whole.
void TestCli::holderChannel_data()
{
    namespace channel = tessivo::clipboard::channel;
    QTest::addColumn<QByteArray>("message");
    QTest::addColumn<QString>("password"); // empty: refused
    QTest::addColumn<int>("seconds");
    const auto encoded = [](std::u32string_view password, int seconds) {
        const std::string message = channel::Encode(password, seconds);
        return QByteArray(message.data(), static_cast<qsizetype>(message.size()));
    };
    const auto units = [](std::initializer_list<char32_t> all) {
        return QByteArray(reinterpret_cast<const char*>(std::data(all)),
                          static_cast<qsizetype>(all.size() * sizeof(char32_t)));
    };
    QTest::newRow("the longest password, the default time")
        << encoded(U"rmiego0rmiego0", 45) << u"rmiego0rmiego0"_s << 45;
    QTest::newRow("one character beyond U+FFFF, an hour")
        << encoded(U"\U0001F511", 3600) << u"\U0001F511"_s << 3600;
    QTest::newRow("one digit, a second") << encoded(U"7", 1) << u"7"_s << 1;
    QTest::newRow("empty") << QByteArray() << QString() << 0;
    QTest::newRow("a time without a password") << units({45}) << QString() << 0;
    QTest::newRow("longer than the window makes")
        << encoded(U"rmiego0rmiego0r", 45) << QString() << 0;
    QTest::newRow("not a multiple of four") << encoded(U"rmiego", 45).chopped(1) << QString() << 0;
    QTest::newRow("a surrogate") << units({45, U'a', 0xD800}) << QString() << 0;
    QTest::newRow("beyond U+10FFFF") << units({45, 0x110000}) << QString() << 0;
    QTest::newRow("a NUL") << units({45, U'a', 0}) << QString() << 0;
    QTest::newRow("no time") << units({0, U'a'}) << QString() << 0;
    QTest::newRow("more than an hour") << units({3601, U'a'}) << QString() << 0;
}

void TestCli::holderChannel()
{
    QFETCH(QByteArray, message);
    QFETCH(QString, password);
    QFETCH(int, seconds);

    std::string bytes(message.constData(), static_cast<std::size_t>(message.size()));
    const auto request = tessivo::clipboard::channel::Decode(bytes);
    QCOMPARE(request.has_value(), !password.isEmpty());
    if (request) {
        QCOMPARE(QString::fromStdU32String(request->password), password);
        QCOMPARE(request->seconds, seconds);
    }
    QVERIFY2(bytes.empty(), "the message is wiped once read");
}

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
