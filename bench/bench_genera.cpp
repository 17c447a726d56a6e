// One whole generate command through the real main window, as the ZEPH button runs it.
//
//   tessivo_bench_genera [--runs N]         time N generations; prints one key=value line
//   tessivo_bench_genera --no-growth [N]    N generations in a row (10,000 unless given),
//                                           VmRSS before and after
//
// Offscreen unless QT_QPA_PLATFORM says otherwise: no display is needed and none is drawn on.

#include "engine.h"
#include "form1.h"
#include "form1_window.h"
#include "form_names.h"
#include "message_service.h"
#include "qt_application.h"
#include "qt_forms.h"
#include "qt_text.h"
#include "recording_messages.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QStringList>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace {

using tessivo::main_window::Form1Window;

[[noreturn]] void fail(const std::string& why)
{
    std::fprintf(stderr, "tessivo_bench_genera: %s\n", why.c_str());
    std::exit(1);
}

template <typename Widget> Widget& child(QWidget& window, const QString& name)
{
    auto* widget = window.findChild<Widget*>(name);
    if (widget == nullptr) {
        fail("the main window has no control named " + name.toStdString());
    }
    return *widget;
}

long statusKb(const char* field)
{
    std::ifstream status("/proc/self/status");
    const std::size_t length = std::strlen(field);
    for (std::string line; std::getline(status, line);) {
        if (line.compare(0, length, field) == 0 && line.size() > length && line[length] == ':') {
            return std::strtol(line.c_str() + length + 1, nullptr, 10);
        }
    }
    fail(std::string("no ") + field + " in /proc/self/status");
}

// What the event loop does between two clicks: repaint, and delete what was left for later.
void settle()
{
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

struct Bench {
    Form1Window& window;
    tessivo::testing::RecordingMessages& messages;
    QLineEdit& password;
    QString expected;

    void generate() { window.form().ComZeph_Click(); }

    void check()
    {
        if (!messages.shown.isEmpty()) {
            fail("Genera showed a message instead of a password: " +
                 messages.shown.front().toStdString());
        }
        if (password.text() != expected) {
            fail("the password box shows " + password.text().toStdString() + ", not " +
                 expected.toStdString());
        }
    }
};

double percentile(std::vector<double> sorted, double fraction)
{
    const auto index =
        static_cast<std::size_t>(fraction * static_cast<double>(sorted.size() - 1) + 0.5);
    return sorted[index];
}

int timeGenerations(Bench& bench, int runs)
{
    using Clock = std::chrono::steady_clock;
    // Caches, the first clipboard object and the first paint of the password box are start-up
    // costs, not the cost of a generation.
    for (int i = 0; i < 50; ++i) {
        bench.generate();
        settle();
    }
    bench.check();

    std::vector<double> generateUs;
    std::vector<double> withPaintUs; // until the new password is painted, as the user sees it
    generateUs.reserve(static_cast<std::size_t>(runs));
    withPaintUs.reserve(static_cast<std::size_t>(runs));
    for (int i = 0; i < runs; ++i) {
        const auto start = Clock::now();
        bench.generate();
        const auto generated = Clock::now();
        QCoreApplication::processEvents();
        const auto painted = Clock::now();
        generateUs.push_back(std::chrono::duration<double, std::micro>(generated - start).count());
        withPaintUs.push_back(std::chrono::duration<double, std::micro>(painted - start).count());
        bench.check();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    std::sort(generateUs.begin(), generateUs.end());
    std::sort(withPaintUs.begin(), withPaintUs.end());
    std::printf("runs=%d genera_min_us=%.1f genera_median_us=%.1f genera_p90_us=%.1f "
                "genera_max_us=%.1f genera_painted_median_us=%.1f\n",
                runs, generateUs.front(), percentile(generateUs, 0.5), percentile(generateUs, 0.9),
                generateUs.back(), percentile(withPaintUs, 0.5));
    return 0;
}

int checkNoGrowth(Bench& bench, int generations)
{
    for (int i = 0; i < 100; ++i) {
        bench.generate();
        settle();
    }
    bench.check();
    const long before = statusKb("VmRSS");
    for (int i = 0; i < generations; ++i) {
        bench.generate();
        settle();
    }
    bench.check();
    const long after = statusKb("VmRSS");
    std::printf("generations=%d rss_before_kb=%ld rss_after_kb=%ld rss_growth_kb=%ld\n",
                generations, before, after, after - before);
    return 0;
}

int positive(const char* text)
{
    char* end = nullptr;
    const long value = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || value < 1 || value > 10'000'000) {
        fail(std::string("not a count: ") + text);
    }
    return static_cast<int>(value);
}

} // namespace

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", QByteArrayLiteral("offscreen"));
    }
    QApplication application(argc, argv); // takes Qt's own options out of argv

    bool noGrowth = false;
    int count = 2000;
    const QStringList arguments = QCoreApplication::arguments();
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const bool hasValue = i + 1 < arguments.size();
        if (arguments[i] == u"--runs" && hasValue) {
            count = positive(arguments[++i].toLocal8Bit().constData());
        } else if (arguments[i] == u"--no-growth") {
            noGrowth = true;
            count = hasValue ? positive(arguments[++i].toLocal8Bit().constData()) : 10'000;
        } else {
            fail("usage: tessivo_bench_genera [--runs N | --no-growth [N]]");
        }
    }

    // Built exactly as the program builds it, with only the message dialog stood in for.
    tessivo::forms::SetUpApplication(application);
    tessivo::testing::RecordingMessages messages;
    tessivo::clipboard::QtClipboard clipboard;
    tessivo::forms::QtForms forms;
    forms.define(tessivo::forms::Form1Name.name, [&forms, &messages, &clipboard] {
        return std::make_unique<Form1Window>(forms, messages, clipboard);
    });
    forms.show(tessivo::forms::Form1Name.name);
    auto* window = qobject_cast<Form1Window*>(forms.loaded(tessivo::forms::Form1Name.name));
    if (window == nullptr) {
        fail("showing Form1 gave no main window");
    }
    settle();

    const QString site = QStringLiteral("google.it");
    const QString user = QStringLiteral("mario");
    const QString key = QStringLiteral("Ab3$");
    const QString length = QStringLiteral("14");
    child<QLineEdit>(*window, QStringLiteral("TxtNomesito")).setText(site);
    child<QLineEdit>(*window, QStringLiteral("TxtUsername")).setText(user);
    child<QLineEdit>(*window, QStringLiteral("TxtKey")).setText(key);
    auto& lengthBox = child<QComboBox>(*window, QStringLiteral("Cobnumerokey"));
    lengthBox.setCurrentIndex(lengthBox.findText(length));
    if (lengthBox.currentText() != length) {
        fail("the length box does not offer 14");
    }

    namespace derivation = tessivo::derivation;
    const QString expected = tessivo::forms::toQString(derivation::Derive(
        tessivo::forms::toText(site + user), derivation::KeySum(tessivo::forms::toText(key)), 14,
        derivation::Mode::Alphabet));
    Bench bench{*window, messages, child<QLineEdit>(*window, QStringLiteral("LabPassword")),
                expected};

    return noGrowth ? checkNoGrowth(bench, count) : timeGenerations(bench, count);
}
