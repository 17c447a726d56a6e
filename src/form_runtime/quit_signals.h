#pragma once

#include <QObject>

class QSocketNotifier;

namespace tessivo::forms {

// SIGTERM, SIGINT and SIGHUP (logout, Ctrl+C, the terminal closing, `kill`) delivered on the
// event loop as `requested()`, so that the program can take its password back as the close box
// does before it ends. The handler only writes a byte into a pipe; a second of these signals
// before the program has ended ends it at once. One instance, for the program's whole life.
class QuitSignals final : public QObject {
    Q_OBJECT

public:
    QuitSignals();
    Q_DISABLE_COPY_MOVE(QuitSignals)
    // The signals get their default action back.
    ~QuitSignals() override;

signals:
    void requested();

private:
    void drain();

    QSocketNotifier* m_notifier = nullptr;
};

} // namespace tessivo::forms
