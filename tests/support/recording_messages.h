#pragma once

#include "message_service.h"

#include <QStringList>

namespace tessivo::testing {

// Records each message instead of showing a dialog that would block the test.
class RecordingMessages final : public forms::MessageService {
public:
    RecordingMessages() = default;
    Q_DISABLE_COPY_MOVE(RecordingMessages)
    ~RecordingMessages() override = default;

    void show(QWidget* /*parent*/, const QString& text) override { shown.append(text); }

    QStringList shown;
};

} // namespace tessivo::testing
