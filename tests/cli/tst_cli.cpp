#include "engine.h"

#include <QProcess>
#include <QTest>

#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

using namespace Qt::Literals::StringLiterals;
using tessivo::derivation::ClassifyKeySum;
using tessivo::derivation::Derive;
using tessivo::derivation::KeySum;
using tessivo::derivation::WeakKey;
using tessivo::derivation::WeakKeyReason;

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
};

void TestCli::passwords_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QString>("site");
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("key"); // as it counts: an empty key is "0"
    QTest::addColumn<int>("length");
    QTest::addColumn<bool>("number");

    const auto row = [](const char* name, QStringList arguments, QByteArray input, QString site,
                        QString user, QString key, int length, bool number) {
        QTest::newRow(name) << arguments << input << site << user << key << length << number;
    };
    const QString google = QStringLiteral("google.it");
    const QString mario = QStringLiteral("mario");
    row("window's example", {u"-l"_s, u"14"_s, google, mario}, "Ab3$\n", google, mario, u"Ab3$"_s,
        14, false);
    row("number mode, options after the operands", {google, mario, u"--number"_s, u"--length=14"_s},
        "Ab3$\n", google, mario, u"Ab3$"_s, 14, true);
    row("-- before names that start with a dash, CRLF line",
        {u"-nl8"_s, u"--"_s, u"-x"_s, u"--y"_s}, "k!}\r\nignored\n", u"-x"_s, u"--y"_s, u"k!}"_s, 8,
        true);
    row("Windows-1252 letters", {u"-n"_s, u"--length"_s, u"12"_s, u"café€"_s, u"José"_s}, "Zz9\n",
        u"café€"_s, u"José"_s, u"Zz9"_s, 12, true);
    row("letters outside Windows-1252", {u"-l"_s, u"10"_s, u"дом.рф"_s, u"пётр"_s}, "Ab3$\n",
        u"дом.рф"_s, u"пётр"_s, u"Ab3$"_s, 10, false);
    row("beyond U+FFFF, in digits", {u"-n"_s, u"-l"_s, u"9"_s, u"🔑mail"_s, u"ö"_s}, "Ab3$\n",
        u"🔑mail"_s, u"ö"_s, u"Ab3$"_s, 9, true);
    row("beyond U+FFFF, in letters", {u"-l"_s, u"6"_s, u"a🔑b😀c"_s, QString()}, "xyz\n", u"a🔑b😀c"_s,
        QString(), u"xyz"_s, 6, false);
    row("user only, key without line end", {u"-l"_s, u" 07 "_s, QString(), mario}, "Ab3$",
        QString(), mario, u"Ab3$"_s, 7, false);
    row("empty line is the key 0 (weak here)", {u"-l"_s, u"5"_s, u"abc"_s, u"def"_s}, "\n",
        u"abc"_s, u"def"_s, u"0"_s, 5, false);
    row("19 characters each, six-character key",
        {u"-l"_s, u"14"_s, u"èèèèèèèèèèèèèèèèèèè"_s, u"1234567890123456789"_s}, "!}AbZ9\n",
        u"èèèèèèèèèèèèèèèèèèè"_s, u"1234567890123456789"_s, u"!}AbZ9"_s, 14, false);
}

void TestCli::passwords()
{
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, input);
    QFETCH(QString, site);
    QFETCH(QString, user);
    QFETCH(QString, key);
    QFETCH(int, length);
    QFETCH(bool, number);

    const std::u32string seed = QString(site + user).toStdU32String();
    const int keySum = KeySum(key.toStdU32String());
    const auto mode =
        number ? tessivo::derivation::Mode::Number : tessivo::derivation::Mode::Alphabet;
    const QString password = QString::fromStdU32String(Derive(seed, keySum, length, mode));
    QVERIFY(!password.isEmpty());

    const Result result = run(QString::fromUtf8(Cli), arguments, input);
    QCOMPARE(result.status, 0);
    QCOMPARE(QString::fromUtf8(result.out), password + u'\n');
    // Standard error stays quiet unless the key is weak, and then says why.
    const WeakKey weakness = ClassifyKeySum(keySum, static_cast<int>(seed.size()));
    if (weakness == WeakKey::None) {
        QCOMPARE(result.err, QByteArray());
    } else {
        const auto reason = WeakKeyReason(weakness);
        QVERIFY2(result.err.contains(QByteArray(reason.data(), qsizetype(reason.size()))),
                 result.err.constData());
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
    row("overlong UTF-8", "-l 8 \"$(printf 'a\\300\\257')\" b", "k\n", 2);
    row("surrogate in UTF-8", "-l 8 a \"$(printf '\\355\\240\\200')\"", "k\n", 2);
    row("above U+10FFFF", "-l 8 \"$(printf '\\364\\220\\200\\200')\" b", "k\n", 2);
    row("sequence cut short", "-l 8 \"$(printf 'ab\\342\\202')\" b", "k\n", 2);
    row("site of 20 characters", "-l 8 12345678901234567890 b", "k\n", 2);
    row("user of 20 UTF-16 units", "-l 8 a 123456789012345678🔑", "k\n", 2);
    row("space in the key", "-l 8 a b", "Ab 3\n", 2);
    row("tilde in the key", "-l 8 a b", "~\n", 2);
    row("accented key", "-l 8 a b", "\xc3\xa8\n", 2);
    row("seven-character key", "-l 8 a b", "1234567\n", 2);
    row("no line on standard input", "-l 8 a b", "", 2);
    row("Number mode without digits", "-n -l 2 x ''", "k\n", 1);
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
    const pid_t child = fork();
    if (child == 0) {
        // The terminal is the program's own, as in a shell: standard output is not.
        setsid();
        ioctl(slave.fd, TIOCSCTTY, 0);
        dup2(slave.fd, STDIN_FILENO);
        dup2(outPipe[1], STDOUT_FILENO);
        dup2(slave.fd, STDERR_FILENO);
        execl(Cli, Cli, "-l", "14", "google.it", "mario", nullptr);
        _exit(127);
    }
    close(outPipe[1]);

    QByteArray shown =
        readFor(master.fd, 5000, [](const QByteArray& d) { return d.endsWith("Key: "); });
    QCOMPARE(shown, QByteArray("Key: "));
    QVERIFY2(!echoes(slave.fd), "echo is still on at the prompt");
    QCOMPARE(write(master.fd, typed.constData(), size_t(typed.size())), ssize_t(typed.size()));
    if (signal != 0) {
        readFor(master.fd, 200, [](const QByteArray&) { return false; }); // let it read
        kill(child, signal);
    }
    int wait = 0;
    for (int i = 0; i < 100 && waitpid(child, &wait, WNOHANG) == 0; ++i) {
        QTest::qWait(50);
    }
    if (waitpid(child, &wait, WNOHANG) == 0 && !WIFEXITED(wait) && !WIFSIGNALED(wait)) {
        kill(child, SIGKILL);
        waitpid(child, &wait, 0);
        QFAIL("the program did not end");
    }
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

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
