#pragma once

#include <QObject>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>

class QWidget;

namespace tessivo::forms {

// The program's windows and their lives: at most one window of each defined form, created
// on first use and again after it was unloaded; the program runs while any form is loaded.
class QtForms final : public QObject {
    Q_OBJECT

public:
    using Factory = std::function<std::unique_ptr<QWidget>()>;

    QtForms() = default;
    Q_DISABLE_COPY_MOVE(QtForms)
    // Windows still loaded go without their unload handlers, as at `End`.
    ~QtForms() override;

    void define(std::string_view form, Factory factory);
    void show(std::string_view form);
    void hide(std::string_view form);
    void unload(std::string_view form);
    // Unloads every loaded form in turn, each through its unload handler: the program ends.
    void unloadAll();
    void end();

    // The loaded window of `form`, or nullptr.
    [[nodiscard]] QWidget* loaded(std::string_view form) const;

signals:
    // `End` was called, or the last loaded form was unloaded: the event loop should end.
    void ended();

private:
    struct Entry {
        Factory factory;
        QWidget* window = nullptr;
    };
    Entry& entry(std::string_view form);
    void forget(const QObject* window);

    std::map<std::string, Entry, std::less<>> m_forms;
};

} // namespace tessivo::forms
