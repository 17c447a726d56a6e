#pragma once

#include <QString>

class QWidget;

namespace tessivo::forms {

// How the Qt runtime shows its modal messages. Injected so that tests of the real windows
// can record a message instead of blocking on a dialog nobody will close.
class MessageService {
public:
    MessageService() = default;
    Q_DISABLE_COPY_MOVE(MessageService)
    virtual ~MessageService() = default;

    // Modal; one OK button, no icon, titled with the application's display name.
    virtual void show(QWidget* parent, const QString& text) = 0;
};

class MessageBoxService final : public MessageService {
public:
    MessageBoxService() = default;
    Q_DISABLE_COPY_MOVE(MessageBoxService)
    ~MessageBoxService() override = default;

    void show(QWidget* parent, const QString& text) override;
};

} // namespace tessivo::forms
